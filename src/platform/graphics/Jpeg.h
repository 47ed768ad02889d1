#pragma once
// The JPEG picture class on libjpeg. It keeps the compressed bytes as loaded and
// decodes them only when pixels are needed, at the chosen DCT scale, straight into
// a bitmap's B,G,R rows. Width and Height report the scaled size, read from the
// header without decoding.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Graphics.h"

enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
// jpBestQuality: accurate integer DCT and smooth chroma upsampling; jpBestSpeed: the
// fast integer DCT and plain chroma replication.
enum TJPEGPerformance { jpBestQuality, jpBestSpeed };
// jf24Bit decodes to a pf24bit bitmap; jf8Bit to a pf8bit bitmap with at most 256 colours
// chosen by libjpeg's colour quantizer (grey pictures: a grey ramp).
enum TJPEGPixelFormat { jf24Bit, jf8Bit };

// Picture size limits applied before anything is allocated.
constexpr int MaxJpegSide = 65500;
constexpr int64_t MaxJpegPixels = int64_t(1) << 28;  // 268 million pixels

class TJPEGImage : public TGraphic {
  KIVO2_GRAPHIC_CLASS(TJPEGImage, TGraphic)

 public:
  TJPEGImage();
  ~TJPEGImage() override;

  // From a TJPEGImage: its compressed bytes and settings. From a TBitmap (any pixel
  // format) or another graphic: the pixels, compressed on the next Compress, save or
  // JPEG use. nullptr empties the image.
  void Assign(TPersistent* source) override;
  // Into a TBitmap: a copy of the decoded bitmap at the current Scale.
  void AssignTo(TPersistent* dest) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool Empty() const override;
  // The size at the current Scale (0 when empty): the header's until the pixels are
  // decoded, then the decoded bitmap's, which holds only the rows its data gave when the
  // file's coded data ends long before the picture its header states.
  int Width() const override;
  int Height() const override;
  // A JPEG picture is not resized: raises EInvalidGraphicOperation
  // "Cannot change the size of a JPEG image".
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  // The palette of a jf8Bit decode (empty otherwise).
  TPalette Palette() const override;

  // Keeps the stream's remaining bytes (from its position to its end) and reads the
  // header; bad data raises EInvalidGraphic with libjpeg's message.
  void LoadFromStream(TStream& stream) override;
  // Writes the compressed bytes: the bytes as loaded when the picture was not changed,
  // else a new compression of the bitmap.
  void SaveToStream(TStream& stream) override;

  // Makes the compressed bytes from the bitmap (with CompressionQuality,
  // ProgressiveEncoding and Grayscale) when the bitmap changed since.
  void Compress();
  // Decodes the bitmap when it is not there yet (at Scale, Performance, Grayscale and PixelFormat).
  void DIBNeeded();
  // Makes sure compressed bytes exist (Compress when only a bitmap exists).
  void JPEGNeeded();
  // The decoded bitmap (DIBNeeded first). Changing it marks the compressed bytes stale.
  TBitmap& Bitmap();

  TJPEGScale Scale() const { return scale_; }
  void SetScale(TJPEGScale scale);
  TJPEGPerformance Performance() const { return performance_; }
  void SetPerformance(TJPEGPerformance performance);
  bool Grayscale() const { return grayscale_; }
  void SetGrayscale(bool grayscale);
  TJPEGPixelFormat PixelFormat() const { return pixelFormat_; }
  void SetPixelFormat(TJPEGPixelFormat format);
  // 1..100 (values outside are clipped); 90 by default.
  int CompressionQuality() const { return quality_; }
  void SetCompressionQuality(int quality);
  bool ProgressiveEncoding() const { return progressiveEncoding_; }
  void SetProgressiveEncoding(bool progressive);

 private:
  void setFullSize(int width, int height);
  void freeBitmap();
  void decodeSettingChanged();
  // The bitmap at the current settings; shared lets a large picture be decoded by two
  // threads, which gives nullptr when anything but clean data was met.
  std::unique_ptr<TBitmap> decode(bool shared);
  class TDecodedRows;
  void bitmapChanged(TObject* sender);

  // Compressed bytes (empty: none); read in without being zeroed first.
  std::vector<uint8_t, graphics_detail::DefaultInitAllocator<uint8_t>> data_;
  std::unique_ptr<TBitmap> bitmap_;    // decoded or assigned pixels
  bool bitmapIsSource_ = false;        // the bitmap holds newer pixels than data_
  int fullWidth_ = 0, fullHeight_ = 0;
  int scaledWidth_ = 0, scaledHeight_ = 0;
  bool headerRead_ = false;
  TJPEGScale scale_ = jsFullSize;
  TJPEGPerformance performance_ = jpBestQuality;
  bool grayscale_ = false;
  TJPEGPixelFormat pixelFormat_ = jf24Bit;
  int quality_ = 90;
  bool progressiveEncoding_ = false;
};
