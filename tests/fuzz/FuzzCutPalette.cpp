// A libFuzzer target for the palette files that go with Dr. Halo CUT pictures: the bytes
// are written as the palette file beside a small valid picture, which is then opened by
// its name as the viewer opens it. The load must end with a picture or one of the
// program's exceptions.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/GraphicFormats_CUT.h"
#include "formats/GraphicReaders.h"
#include "platform/rtl/SysUtils.h"

namespace {

// A folder of our own with picture.cut (4 x 2 pixels: a run and four literals).
std::string MakeFolder() {
  char pattern[] = "/tmp/kivo2-fuzz-cutpal-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (!dir) std::abort();
  const std::string folder = dir;
  const uint8_t picture[] = {4, 0, 2, 0, 0, 0, 3, 0, 0x84, 5, 0, 6, 0, 4, 1, 2, 3, 4, 0};
  FILE* f = std::fopen((folder + "/picture.cut").c_str(), "wb");
  if (!f || std::fwrite(picture, 1, sizeof picture, f) != sizeof picture) std::abort();
  std::fclose(f);
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    InitializeGraphicFormats();
    return MakeFolder();
  }();
  FILE* f = std::fopen((folder + "/picture.pal").c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  try {
    TCUTGraphic graphic;
    graphic.LoadFromFile(folder + "/picture.cut");
  } catch (const Exception&) {
  }
  return 0;
}
