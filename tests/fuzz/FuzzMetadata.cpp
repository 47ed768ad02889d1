// A libFuzzer target for the metadata reader: the bytes as a JPEG file (segment scan,
// Exif directories, maker notes, IPTC) or, built with KIVO2_FUZZ_TIFF, as a TIFF file.
#include "FuzzMetadata.h"

#ifdef KIVO2_FUZZ_TIFF
static const char* const kExtension = ".tif";
#else
static const char* const kExtension = ".jpg";
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::ReadMetadataOf(std::string(reinterpret_cast<const char*>(data), size), kExtension);
  return 0;
}
