#pragma once
// The CRC-32 of texts, as the thumbnail cache names its files: the reflected polynomial
// 0xEDB88320, start value 0xFFFFFFFF and no final complement, over one byte holding the
// text's length (its low eight bits) followed by the text's bytes.
#include <cstdint>
#include <string>

uint32_t StringCrc32(const std::string& text);
// The checksum as 8 upper-case hexadecimal digits, most significant first ("abc" gives
// "066B17DD").
std::string StringCrc32Hex(const std::string& text);
