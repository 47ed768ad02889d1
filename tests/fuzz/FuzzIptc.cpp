// A libFuzzer target for the IPTC reader: the bytes follow "Photoshop 3.0" in the APP13
// segment of a JPEG, read as the EXIF window reads it.
#include "FuzzMetadata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65000) return 0;
  const std::string body = std::string("Photoshop 3.0\0", 14) + std::string(reinterpret_cast<const char*>(data), size);
  fuzzsupport::ReadMetadataOf(fuzzsupport::JpegWithApp(13, body), ".jpg");
  return 0;
}
