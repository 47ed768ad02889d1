#pragma once
// Helpers of the metadata tests: pictures made with ImageMagick and tagged with
// exiftool, exiftool's reading of a file, JPEG segment surgery, and a small
// writer of Exif directories for inputs that no tool will write (loops, chains,
// zero denominators).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

namespace mdtest {

// A small JPEG made by ImageMagick, then tagged by exiftool with the given
// "-TAG=VALUE" arguments (none: the plain picture). Returns its path.
inline std::string MakeTaggedJpeg(const std::string& name, const std::vector<std::string>& tagArgs) {
  const std::string path = testsupport::TempPath(name);
  auto made = testsupport::Run({"/usr/bin/convert", "-size", "64x48", "xc:#3060a0", path});
  EXPECT_EQ(made.exitCode, 0) << made.err;
  if (!tagArgs.empty()) {
    std::vector<std::string> cmd = {"exiftool", "-q", "-overwrite_original"};
    cmd.insert(cmd.end(), tagArgs.begin(), tagArgs.end());
    cmd.push_back(path);
    auto tagged = testsupport::Run(cmd);
    EXPECT_EQ(tagged.exitCode, 0) << tagged.err;
  }
  return path;
}

// Writes bytes to a fresh file in the test's sandbox; returns its path.
inline std::string WriteTemp(const std::string& name, const std::string& bytes) {
  const std::string path = testsupport::TempFile(name, bytes);
  return path;
}

// Calls take with each line of a tool's output (without its line feed).
inline void ForEachLine(const std::string& text, const std::function<void(const std::string&)>& take) {
  for (const std::string& line : testsupport::Lines(text)) take(line);
}

using ToolValues = std::map<std::string, std::string>;

// exiftool's numeric reading of a file: "Group:Tag" -> value (-args -n -G1 -a);
// with numbers false, its words for the same values.
inline ToolValues ExifToolValues(const std::string& file, bool numbers = true) {
  ToolValues values;
  std::vector<std::string> cmd = {"exiftool", "-args", "-G1", "-a", "-u", file};
  if (numbers) cmd.insert(cmd.begin() + 2, "-n");
  auto r = testsupport::Run(cmd);
  ForEachLine(r.out, [&values](const std::string& line) {
    size_t eq = line.find('=');
    if (line.size() > 1 && line[0] == '-' && eq != std::string::npos)
      values.emplace(line.substr(1, eq - 1), line.substr(eq + 1));
  });
  return values;
}
inline ToolValues ExifToolWords(const std::string& file) { return ExifToolValues(file, false); }

// One of exiftool's values as a number (NaN when absent) or as text (empty when absent).
inline double ToolNumber(const ToolValues& v, const std::string& key) {
  auto it = v.find(key);
  return it == v.end() ? NAN : std::strtod(it->second.c_str(), nullptr);
}
inline std::string ToolText(const ToolValues& v, const std::string& key) {
  auto it = v.find(key);
  return it == v.end() ? std::string() : it->second;
}

// While it lives, the interface language is code: its number format and, when the
// build made the catalogues, its texts; English afterwards.
class Language {
 public:
  explicit Language(const std::string& code) {
    SetFormatSettingsForLanguage(code);
    const std::string locale = testsupport::ProgramDir() + "/locale";
    if (access((locale + "/nl/LC_MESSAGES/default.mo").c_str(), R_OK) == 0) {
      InitTranslation(locale);
      UseLanguage(code);
    }
  }
  ~Language() {
    SetFormatSettingsForLanguage("en");
    UseLanguage("en");
  }
  Language(const Language&) = delete;
  Language& operator=(const Language&) = delete;
};

// One JPEG marker segment: the marker byte and its bytes from the length on
// (empty for markers without length).
struct Segment {
  uint8_t marker = 0;
  std::string body;
};

// Splits a JPEG into SOI, its segments up to SOS and the rest (kept as it is).
inline std::vector<Segment> SplitJpeg(const std::string& jpeg, std::string& rest) {
  std::vector<Segment> segments;
  size_t p = 2;
  while (p + 4 <= jpeg.size() && uint8_t(jpeg[p]) == 0xFF) {
    uint8_t marker = uint8_t(jpeg[p + 1]);
    if (marker == 0xDA) break;
    size_t len = (uint8_t(jpeg[p + 2]) << 8) | uint8_t(jpeg[p + 3]);
    segments.push_back({marker, jpeg.substr(p + 2, len)});
    p += 2 + len;
  }
  rest = jpeg.substr(p);
  return segments;
}

inline std::string JoinJpeg(const std::vector<Segment>& segments, const std::string& rest) {
  std::string out = "\xFF\xD8";
  for (const auto& s : segments) out += std::string("\xFF") + char(s.marker) + s.body;
  return out + rest;
}

// A segment with its length field in front of the payload.
inline Segment MakeSegment(uint8_t marker, const std::string& payload) {
  size_t len = payload.size() + 2;
  return {marker, std::string{char(len >> 8), char(len & 0xFF)} + payload};
}

// Writes a TIFF structure (header, directories, values) in either byte order.
class TiffWriter {
 public:
  // With header false, bare values in the byte order (no TIFF header).
  explicit TiffWriter(bool motorola, bool header = true) : motorola_(motorola) {
    if (header) Raw(motorola ? "MM" : "II").Put16(42).Put32(8);
  }
  TiffWriter& Put16(uint32_t v) {
    if (motorola_) bytes_ += {char(v >> 8), char(v)};
    else bytes_ += {char(v), char(v >> 8)};
    return *this;
  }
  TiffWriter& Put32(uint32_t v) {
    if (motorola_) bytes_ += {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    else bytes_ += {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    return *this;
  }
  TiffWriter& Raw(const std::string& b) {
    bytes_ += b;
    return *this;
  }
  void At32(size_t offset, uint32_t v) {
    std::string save = bytes_.substr(offset + 4);
    bytes_.resize(offset);
    Put32(v);
    bytes_ += save;
  }
  // A directory entry whose 4-byte value field holds v (or an offset).
  void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t v) {
    Put16(tag);
    Put16(type);
    Put32(count);
    if ((type == 3 || type == 8) && count == 1) {
      Put16(v);
      Put16(0);
    } else {
      Put32(v);
    }
  }
  size_t Size() const { return bytes_.size(); }
  std::string& Bytes() { return bytes_; }

 private:
  bool motorola_;
  std::string bytes_;
};

// A JPEG whose only metadata is an Exif APP1 segment around the TIFF bytes.
inline std::string JpegWithExif(const std::string& tiff) {
  std::string rest;
  std::string base = testsupport::ReadFile(MakeTaggedJpeg("base-for-exif.jpg", {}));
  std::vector<Segment> segments = SplitJpeg(base, rest);
  std::vector<Segment> out = {MakeSegment(0xE1, std::string("Exif\0\0", 6) + tiff)};
  for (const auto& s : segments)
    if (s.marker != 0xE0) out.push_back(s);
  return JoinJpeg(out, rest);
}

}  // namespace mdtest
