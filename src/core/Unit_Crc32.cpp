#include "core/Unit_Crc32.h"

#include <array>

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

uint32_t Update(uint32_t crc, uint8_t byte) { return kTable[(crc ^ byte) & 0xFF] ^ (crc >> 8); }

}  // namespace

uint32_t StringCrc32(const std::string& text) {
  uint32_t crc = Update(0xFFFFFFFFu, uint8_t(text.size() & 0xFF));
  for (unsigned char c : text) crc = Update(crc, c);
  return crc;
}

std::string StringCrc32Hex(const std::string& text) {
  static const char digits[] = "0123456789ABCDEF";
  const uint32_t crc = StringCrc32(text);
  std::string hex(8, '0');
  for (int i = 0; i < 8; ++i) hex[size_t(i)] = digits[(crc >> (28 - 4 * i)) & 0xF];
  return hex;
}
