// A libFuzzer target for one picture format reader: the bytes are tested, their
// header read and then loaded through the reader, as the picture object does when the
// viewer opens a file. Every load must end with a picture or one of the program's
// exceptions, within the time and memory limits the fuzzer is given.
#include <cstddef>
#include <cstdint>

#include "formats/GraphicReaders.h"
#include "platform/gui/ModalResponder.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

#ifndef KIVO2_FUZZ_GRAPHIC
#error "KIVO2_FUZZ_GRAPHIC names the graphic class to load"
#endif
// Formats without a signature are opened by their extension alone: every input is loaded.
#ifndef KIVO2_FUZZ_BY_EXTENSION
#define KIVO2_FUZZ_BY_EXTENSION 0
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool initialised = [] {
    InitializeGraphicFormats();
    // A reader's warning box (libjpeg on a damaged JPEG strip) is answered at once.
    ModalResponder::SetScripted(true);
    ModalResponder::SetFailureHook([](const std::string&) {});
    return true;
  }();
  (void)initialised;
  TReadOnlyMemoryStream stream(data, int64_t(size));
  try {
    KIVO2_FUZZ_GRAPHIC probe;
    if (!probe.CanLoad(stream) && !KIVO2_FUZZ_BY_EXTENSION) return 0;
    probe.ReadImageProperties(stream, 0);
  } catch (const Exception&) {
  }
  try {
    stream.Seek(0, soBeginning);
    KIVO2_FUZZ_GRAPHIC graphic;
    graphic.LoadFromStream(stream);
  } catch (const Exception&) {
  }
  return 0;
}
