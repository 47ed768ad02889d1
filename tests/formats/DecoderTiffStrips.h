#pragma once
// A small reader of the first directory of a TIFF file, for feeding the strips that
// independent tools (tiffcp, ImageMagick) wrote to our decoders one by one.
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace decodertest {

struct TiffStrips {
  std::map<uint16_t, std::vector<uint32_t>> tags;  // numeric values of each tag
  std::vector<std::string> strips;                 // the packed bytes of each strip
  std::string jpegTables;                          // tag 347
  uint32_t Tag(uint16_t tag, uint32_t fallback = 0) const {
    auto it = tags.find(tag);
    return it == tags.end() || it->second.empty() ? fallback : it->second[0];
  }
};

inline TiffStrips ReadTiffStrips(const std::string& file) {
  const bool big = file.size() >= 2 && file[0] == 'M';
  auto u8 = [&](size_t at) -> uint32_t {
    if (at >= file.size()) throw std::runtime_error("TIFF offset past the end");
    return uint8_t(file[at]);
  };
  auto u16 = [&](size_t at) { return big ? u8(at) << 8 | u8(at + 1) : u8(at) | u8(at + 1) << 8; };
  auto u32 = [&](size_t at) {
    return big ? u16(at) << 16 | u16(at + 2) : u16(at) | u16(at + 2) << 16;
  };
  TiffStrips out;
  const size_t ifd = u32(4);
  const unsigned count = u16(ifd);
  for (unsigned i = 0; i < count; ++i) {
    const size_t e = ifd + 2 + 12 * i;
    const uint16_t tag = uint16_t(u16(e)), type = uint16_t(u16(e + 2));
    const uint32_t n = u32(e + 4);
    const unsigned size = type == 3 ? 2 : (type == 4 ? 4 : 1);
    const size_t at = size_t(n) * size <= 4 ? e + 8 : u32(e + 8);
    if (tag == 347) {
      out.jpegTables = file.substr(at, n);
      continue;
    }
    if (type != 1 && type != 3 && type != 4 && type != 7) continue;
    std::vector<uint32_t>& values = out.tags[tag];
    for (uint32_t k = 0; k < n && k < 100000; ++k)
      values.push_back(size == 2 ? u16(at + 2 * k) : size == 4 ? u32(at + 4 * k) : u8(at + k));
  }
  const std::vector<uint32_t>& offsets = out.tags[273];
  const std::vector<uint32_t>& counts = out.tags[279];
  for (size_t i = 0; i < offsets.size() && i < counts.size(); ++i) out.strips.push_back(file.substr(offsets[i], counts[i]));
  return out;
}

// Undoes TIFF's horizontal differencing (predictor 2) of 8-bit rows in place.
inline void UndoPredictor(std::vector<uint8_t>& rows, size_t width, size_t samples) {
  const size_t rowBytes = width * samples;
  for (size_t start = 0; start + rowBytes <= rows.size(); start += rowBytes)
    for (size_t i = samples; i < rowBytes; ++i) rows[start + i] = uint8_t(rows[start + i] + rows[start + i - samples]);
}

}  // namespace decodertest
