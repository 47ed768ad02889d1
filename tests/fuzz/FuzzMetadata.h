#pragma once
// What the metadata targets share: the bytes as a file of the given extension (the
// metadata reader opens files by name), read as the EXIF window reads them, with every
// tag's value asked for, the maker-note records walked, the Exif changed as a lossless turn
// changes it (also as Exif spread over several segments) and the IPTC datasets parsed.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/ExifData.h"
#include "metadata/IptcData.h"

namespace fuzzsupport {

inline void ReadMetadataOf(const std::string& bytes, const char* extension) {
  static const std::string dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp");
  }();
  const std::string file = dir + "/kivo2-fuzz-" + std::to_string(getpid()) + extension;
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  } else {
    return;
  }
  std::string packet = bytes;  // as the text of an XMP packet
  ResetTurnedXmpOrientation(packet);
  TimgData data(255);
  if (data.ReadFileMetadata(file) && data.ImageInfo) {
    TImageInfo& info = *data.ImageInfo;
    for (const TTagEntry& tag : std::vector<TTagEntry>(info.Tags)) (void)info.GetTagValue(tag.Name);
    (void)info.PhotoDateTime();
    TTagEntry record;
    info.ResetIteration();
    while (info.NextTagWithKey(1, record)) {
    }
  }
  if (data.ExifSegment) {
    // As after a lossless turn: the Exif made upright and its thumbnail replaced.
    TSegment turned = *data.ExifSegment;
    ResetTurnedOrientation(turned, 100, 200);
    ResetTurnedOrientation(turned, 0, 0, true);
    const std::string thumbnail = ExifThumbnail(turned);
    ReplaceExifThumbnail(turned, thumbnail + thumbnail);
    // As after a lossless crop, and a thumbnail that fits in no form.
    SetExifPixelSize(turned, 30, 40);
    RemoveExifThumbnail(turned);
  }
  // As a run of Exif segments after the start of image, joined, changed and spread again.
  TSegment joined;
  std::vector<size_t> parts;
  if (JoinExifSegments(std::string_view(bytes).substr(std::min<size_t>(4, bytes.size())), joined, parts)) {
    ResetTurnedOrientation(joined, 100, 200);
    ReplaceExifThumbnail(joined, ExifThumbnail(joined) + "x", int64_t(1) << 20);
    RemoveExifThumbnail(joined, true);
    (void)SplitExifSegment(joined, parts);
  }
  if (data.IptcData && data.IptcSegment) {
    data.IptcData->ParseIptc(data.IptcSegment->Data);
    (void)data.IptcData->IptcLines(data.IptcSegment->Data);
    std::string value;
    data.IptcData->ReadDataset("Keywords", "", value);
  }
  std::remove(file.c_str());
}

// A JPEG of one APP segment (marker 0xE0 + appIndex) holding body, then the end mark.
inline std::string JpegWithApp(int appIndex, const std::string& body) {
  std::string s = "\xFF\xD8";
  const size_t length = body.size() + 2;
  s += '\xFF';
  s += char(0xE0 + appIndex);
  s += char(length >> 8);
  s += char(length & 0xFF);
  s += body;
  s += "\xFF\xD9";
  return s;
}

}  // namespace fuzzsupport
