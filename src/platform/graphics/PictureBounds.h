#pragma once
// Bounds that a picture read from a file must meet before anything is allocated for
// its pixels: the bitmap's own limits on its sides and bytes, and the data the file
// has left for the pixels. A compression scheme turns one stored byte into only so
// much decoded data; a header that promises more than the rest of its file can decode
// to is refused at once, so that a few hostile bytes never make a huge bitmap. Every
// reader calls these right after its header, before it sizes anything by it.
#include <cstdint>
#include <string>

// The most a scheme decodes from stored data: at most Units units (bytes, pixels or
// blocks, as the caller counts what it needs) from every PerBytes stored bytes.
struct TDataExpansion {
  uint64_t Units;
  uint64_t PerBytes;
};

// Stored as it is: one byte gives one byte.
inline constexpr TDataExpansion UncompressedData{1, 1};
// Stored as it is in a file that may have been cut short (a broken copy or download):
// the rows the file holds load and the rest stay empty. A header that promises more
// than kCutFileShare times the data left is taken for a damaged header, not a cut file.
inline constexpr uint64_t kCutFileShare = 16;
constexpr TDataExpansion CutShort(TDataExpansion stored) { return {stored.Units * kCutFileShare, stored.PerBytes}; }
inline constexpr TDataExpansion CutUncompressedData = CutShort(UncompressedData);
// Deflate (zlib): a match of 258 bytes coded in two bits, a one-bit length code and a
// one-bit distance code, so one byte gives at most 4 x 258 = 1032 bytes.
inline constexpr TDataExpansion DeflateData{1032, 1};
// Run-length packets of one header byte and one value that repeat the value at most
// maxRun times: maxRun values (counted as values) from 1 + valueBytes bytes.
constexpr TDataExpansion RunLengthData(uint64_t maxRun, uint64_t valueBytes) { return {maxRun, 1 + valueBytes}; }

// Raises EInvalidGraphic "Cannot load image. The picture is too large: %d x %d pixels."
// when a bitmap of width x height at bitsPerPixel would pass MaxBitmapSide or
// MaxBitmapBytes.
void CheckPictureSize(int64_t width, int64_t height, int bitsPerPixel);

// Raises EInvalidGraphic "Cannot load image. The %s file holds too little data for a
// picture of %d x %d pixels." (formatName for %s) when storedBytes, expanded as far as
// the file's scheme allows, cannot give the neededUnits that a picture of width x
// height takes at the least.
void CheckPictureData(const std::string& formatName, int64_t width, int64_t height, uint64_t neededUnits,
                      uint64_t storedBytes, TDataExpansion expansion);
