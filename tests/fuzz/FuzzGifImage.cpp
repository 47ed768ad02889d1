// A libFuzzer target for the GIF image library: the bytes are loaded as a GIF image
// (every frame through the LZW decoder) and its first frame is drawn into a bitmap.
#include <cstddef>
#include <cstdint>

#include "formats/GIFImage.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TReadOnlyMemoryStream stream(data, int64_t(size));
  try {
    TGIFImage gif;
    gif.LoadFromStream(stream);
    if (!gif.Empty()) gif.GetBitmap();
  } catch (const Exception&) {
  }
  return 0;
}
