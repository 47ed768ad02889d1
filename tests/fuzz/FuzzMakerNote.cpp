// A libFuzzer target for the maker-note decoders: the first byte chooses the camera
// make, the byte order and the Exif version; the rest becomes the maker note of a small
// Exif segment in a JPEG, read as the EXIF window reads it.
#include <array>

#include "FuzzMetadata.h"

namespace {

class TiffWriter {
 public:
  explicit TiffWriter(bool motorola) : motorola_(motorola) { bytes_ = motorola ? "MM" : "II"; }
  void Put16(uint32_t v) {
    if (motorola_) bytes_ += char(v >> 8), bytes_ += char(v);
    else bytes_ += char(v), bytes_ += char(v >> 8);
  }
  void Put32(uint32_t v) {
    if (motorola_) Put16(v >> 16), Put16(v & 0xFFFF);
    else Put16(v & 0xFFFF), Put16(v >> 16);
  }
  void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    Put16(tag), Put16(type), Put32(count), Put32(value);
  }
  void EntryBytes(uint16_t tag, uint16_t type, const std::string& four) {
    Put16(tag), Put16(type), Put32(uint32_t(four.size()));
    bytes_ += four;
  }
  std::string& bytes() { return bytes_; }

 private:
  bool motorola_;
  std::string bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 60000) return 0;
  static const std::array<const char*, 8> kMakes = {"NIKON CORPORATION", "CASIO COMPUTER CO.,LTD.", "FUJIFILM",
                                                    "Canon", "SEIKO EPSON CORP.", "SANYO Electric Co.,Ltd.",
                                                    "MINOLTA CO.,LTD", "NIKON"};
  const uint8_t choice = data[0];
  std::string make = kMakes[choice & 7];
  make += '\0';
  if (make.size() % 2) make += '\0';
  const bool motorola = choice & 8;
  const int version = (choice >> 4) & 3;  // 0220, 0210, none, 0230
  const std::string note(reinterpret_cast<const char*>(data + 1), size - 1);

  TiffWriter w(motorola);
  w.Put16(42);
  w.Put32(8);
  const bool hasVersion = version != 2;
  const uint32_t exifIfd = 8 + 2 + 2 * 12 + 4;
  const uint32_t exifEntries = hasVersion ? 2 : 1;
  const uint32_t makeAt = exifIfd + 2 + exifEntries * 12 + 4;
  const uint32_t noteAt = makeAt + uint32_t(make.size());
  w.Put16(2);
  w.Entry(0x010F, 2, uint32_t(make.size()), makeAt);
  w.Entry(0x8769, 4, 1, exifIfd);
  w.Put32(0);
  w.Put16(uint16_t(exifEntries));
  if (hasVersion) w.EntryBytes(0x9000, 7, version == 0 ? "0220" : version == 1 ? "0210" : "0230");
  w.Entry(0x927C, 7, uint32_t(note.size()), noteAt);
  w.Put32(0);
  w.bytes() += make;
  w.bytes() += note;
  fuzzsupport::ReadMetadataOf(fuzzsupport::JpegWithApp(1, std::string("Exif\0\0", 6) + w.bytes()), ".jpg");
  return 0;
}
