#pragma once
// The TIFF reader: the first image of a TIFF file (both byte orders) into a bitmap.
// Strips stored uncompressed or with PackBits, LZW, Modified Huffman (with and
// without word alignment), one-dimensional Group 3 fax, deflate, JPEG or
// ThunderScan coding; grey, palette, RGB(A), CMYK, YCbCr and CIE L*a*b* pictures of
// the bit depths the colour manager converts; interleaved or separate sample planes;
// the horizontal predictor for 8- and 16-bit samples. Tiles, two-dimensional fax
// coding and the other compressions are refused with a "not supported" message.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/GraphicFormats.h"

// Texts of the TIFF reader's refusals: each fills the first %s of gsUnsupportedFeature.
inline constexpr const char* gsTIFFTiles = "Tiled storage is";
inline constexpr const char* gsTIFF2DFax = "Two-dimensional fax coding is";
inline constexpr const char* gsTIFFBitDepth = "This bit depth is";
inline constexpr const char* gsTIFFColorFormat = "This color format is";
inline constexpr const char* gsTIFFSampleFormat = "This sample format is";
inline constexpr const char* gsTIFFPredictor = "This predictor is";
inline constexpr const char* gsTIFFSubsampling = "This YCbCr subsampling is";
// Raised by SaveToStream: the class reads TIFF files only.
inline constexpr const char* gsTIFFNoSave = "Saving %s files is not supported.";

class TTIFFGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TTIFFGraphic, TFormatGraphic)

 public:
  TTIFFGraphic();
  ~TTIFFGraphic() override;

  using TFormatGraphic::CanLoad;
  // "II" or "MM", version 42 and a first directory offset within the stream.
  bool CanLoad(TStream& stream) override;
  // Reads the header and the directory of image imageIndex (0 = first) into
  // ImageProperties; false when there is no such image or its size is 0.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  // Loads the first image of the file from the stream's position on.
  void LoadFromStream(TStream& stream) override;
  // Writing TIFF files is not supported: raises EInvalidGraphic and writes nothing.
  void SaveToStream(TStream& stream) override;

  // One image file directory entry, as in the file; Value holds the 4 value bytes
  // read in the file's byte order (a number, or the offset of the values).
  struct TIFDEntry {
    uint16_t Tag = 0;
    uint16_t DataType = 0;
    uint32_t Count = 0;
    uint32_t Value = 0;
    uint8_t Raw[4] = {};  // the value bytes in file order
  };

  // Directory access by tag, on the directory last read.
  // A count-1 BYTE, SHORT, SSHORT, LONG or SLONG value; for other counts the offset
  // word; defaultValue when the tag is missing or of another type.
  uint32_t GetValue(uint16_t tag, uint32_t defaultValue = 0) const;
  uint32_t GetValue(uint16_t tag, uint32_t& count, uint32_t defaultValue) const;
  // The values of an integer tag (BYTE, SHORT, LONG and their signed kinds), at most
  // maxCount and at most as many as the stream holds.
  std::vector<uint32_t> GetValueList(TStream& stream, uint16_t tag, size_t maxCount = SIZE_MAX) const;
  std::vector<uint8_t> GetByteList(TStream& stream, uint16_t tag) const;
  // Rationals as numerator / denominator (0 for a zero denominator), or integers.
  std::vector<float> GetFloatList(TStream& stream, uint16_t tag) const;
  float GetFloatValue(TStream& stream, uint16_t tag, float defaultValue = 0.0f) const;

  const std::vector<TIFDEntry>& Directory() const { return directory_; }
  uint32_t YCbCrPositioning() const { return yCbCrPositioning_; }
  const std::vector<float>& YCbCrCoefficients() const { return yCbCrCoefficients_; }

 private:
  const TIFDEntry* FindEntry(uint16_t tag) const;
  bool BigEndian() const { return ImageProperties.Options.Contains(ioBigEndian); }
  // Reads up to count bytes at base + offset; returns the bytes read.
  size_t ReadAt(TStream& stream, uint64_t offset, void* buffer, size_t count) const;
  // The bytes of an entry's values: from the value word when they fit, else from
  // their offset (as many as the stream holds).
  std::vector<uint8_t> EntryBytes(TStream& stream, const TIFDEntry& e, uint32_t typeSize,
                                  size_t maxCount = SIZE_MAX) const;
  void LoadImage(TStream& stream);

  std::vector<TIFDEntry> directory_;
  std::vector<uint16_t> palette_;  // the ColorMap: red, green and blue planes
  uint32_t yCbCrPositioning_ = 1;
  std::vector<float> yCbCrCoefficients_;
  int64_t base_ = 0;  // stream position of the file's header
};
