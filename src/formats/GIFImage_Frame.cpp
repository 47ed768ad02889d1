// One frame of a GIF image: its descriptor, pixels, local colour table and extensions,
// reading and writing it, its bounds on the logical screen, its palette and cropping;
// and the list of frames with the block loop of a file.
#include <algorithm>
#include <cstring>

#include "formats/GIFImage.h"
#include "platform/rtl/Math.h"


TGIFSubImage::TGIFSubImage(TGIFImage* image)
    : TGIFItem(image),
      colorMap_(std::make_unique<TGIFLocalColorMap>(this)),
      extensions_(std::make_unique<TGIFExtensionList>(image, this)) {}

TGIFSubImage::~TGIFSubImage() {
  if (image_) image_->Images().Remove(this);
  extensions_->Clear();
  data_.clear();
  gce_ = nullptr;
}

void TGIFSubImage::Clear() {
  extensions_->Clear();
  colorMap_->Clear();
  FreeImage();
  SetBounds(left_, top_, width_, 0);
  SetBounds(left_, top_, 0, height_);
  transparent_ = false;
  gce_ = nullptr;
  FreeBitmap();
  FreeMask();
}

bool TGIFSubImage::Empty() const { return data_.empty() || width_ == 0 || height_ == 0; }

TGIFVersion TGIFSubImage::GetVersion() const {
  if (colorMap_->Optimized()) return gv89a;
  TGIFVersion version = gv87a;
  for (int i = 0; i < extensions_->GetCount(); ++i)
    version = std::max(version, extensions_->GetItem(i)->GetVersion());
  return version;
}

// ---------------------------------------------------------------------------
// Pixels and bounds
// ---------------------------------------------------------------------------

void TGIFSubImage::NewImage() {
  data_.clear();
  const int64_t n = int64_t(width_) * height_;
  if (n > kGIFMaxPixels) GifCodec::Error(gsGIFTooLarge);
  if (n > 0) data_.assign(size_t(n), 0);
}

void TGIFSubImage::FreeImage() {
  data_.clear();
  data_.shrink_to_fit();
}

void TGIFSubImage::NeedImage() {
  if (data_.empty()) NewImage();
  if (data_.empty()) GifCodec::Error(gsGIFImageEmpty);
}

uint8_t TGIFSubImage::Pixels(int x, int y) const {
  if (x < 0 || x >= width_ || y < 0 || y >= height_ || data_.empty()) GifCodec::Error(gsGIFInvalidPixel);
  return data_[size_t(y) * width_ + size_t(x)];
}

void TGIFSubImage::SetPixel(int x, int y, uint8_t value) {
  if (x < 0 || x >= width_ || y < 0 || y >= height_) GifCodec::Error(gsGIFInvalidPixel);
  NeedImage();
  data_[size_t(y) * width_ + size_t(x)] = value;
  FreeBitmap();
  FreeMask();
}

uint8_t* TGIFSubImage::ScanLine(int y) {
  if (y < 0 || y >= height_) GifCodec::Error(gsGIFInvalidPixel);
  NeedImage();
  return data_.data() + size_t(y) * width_;
}

void TGIFSubImage::SetBounds(int left, int top, int width, int height) {
  left = std::clamp(left, 0, 0xFFFF);
  top = std::clamp(top, 0, 0xFFFF);
  width = std::clamp(width, 0, 0xFFFF);
  height = std::clamp(height, 0, 0xFFFF);
  const bool sizeChanged = width != width_ || height != height_;
  left_ = uint16_t(left);
  top_ = uint16_t(top);
  width_ = uint16_t(width);
  height_ = uint16_t(height);
  if (sizeChanged) {
    FreeBitmap();
    FreeMask();
    FreeImage();
    NewImage();
  }
  if (!image_) return;
  TGIFHeader& header = image_->Header();
  bool exceeded = false;
  if (header.Width() < left + width) {
    if (header.Width() != 0) {
      Warning(1, GifCodec::Text(gsGIFWidthTooSmall));
      exceeded = true;
    }
    header.SetWidth(uint16_t(std::min(left + width, 0xFFFF)));
  }
  if (header.Height() < top + height) {
    if (header.Height() != 0) {
      Warning(1, GifCodec::Text(gsGIFHeightTooSmall));
      exceeded = true;
    }
    header.SetHeight(uint16_t(std::min(top + height, 0xFFFF)));
  }
  if (exceeded) Warning(1, GifCodec::Text(gsGIFExceedsScreen));
}

// ---------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------

TGIFColorMap& TGIFSubImage::ActiveColorMap() {
  if (colorMap_->Count() > 0 || !image_) return *colorMap_;
  TGIFColorMap& global = image_->Header().ColorMap();
  return global.Count() > 0 ? global : *colorMap_;
}

TPalette TGIFSubImage::GetPalette() {
  if (bitmap_ && !bitmap_->Palette().IsEmpty()) return bitmap_->Palette();
  if (palette_) return *palette_;
  if (image_ && image_->GetDoDither()) {
    palette_ = GifCodec::WebPalette();
    return *palette_;
  }
  if (colorMap_->Count() == 0) {
    // Without a colour table anywhere every index shows black; asking the image would
    // only come back to this frame.
    if (!image_ || image_->Header().ColorMap().Count() == 0) return TPalette();
    return image_->GetPalette();
  }
  palette_ = colorMap_->ExportPalette();
  return *palette_;
}

void TGIFSubImage::SetPalette(const std::optional<TPalette>& palette) {
  if (palette == palette_) return;
  palette_ = palette;
  if (bitmap_ && bitmap_->Palette() != palette.value_or(TPalette())) {
    FreeBitmap();
    if (image_) {
      image_->SetPaletteModified(true);
      image_->Changed(this);
    }
  }
}

// ---------------------------------------------------------------------------
// Reading and writing
// ---------------------------------------------------------------------------

void TGIFSubImage::LoadFromStream(TStream& stream) {
  Clear();
  extensions_->LoadFromStream(stream);
  uint8_t next;
  if (!GifCodec::ReadByte(stream, next)) return;
  stream.Seek(-1, soCurrent);
  // Only an image separator starts a descriptor; anything else is left to the block loop.
  if (next != ',') return;
  uint8_t descriptor[10];
  GifCodec::ReadCheck(stream, descriptor, 10);
  left_ = uint16_t(descriptor[1] | (descriptor[2] << 8));
  top_ = uint16_t(descriptor[3] | (descriptor[4] << 8));
  width_ = uint16_t(descriptor[5] | (descriptor[6] << 8));
  height_ = uint16_t(descriptor[7] | (descriptor[8] << 8));
  packed_ = descriptor[9];
  if (width_ == 0 || height_ == 0) {
    if (image_) {
      width_ = image_->Header().Width();
      height_ = image_->Header().Height();
    }
    Warning(1, GifCodec::Text(gsGIFExceedsScreen));
  }
  if (packed_ & 0x80) colorMap_->LoadFromStream(stream, 2 << (packed_ & 7));
  // A frame larger than its data could fill, or than the picture's limit, is refused
  // before its pixels are allocated.
  const int64_t pixels = int64_t(width_) * height_;
  const int64_t left = stream.Size() - stream.Position();
  if (pixels > kGIFMaxPixels || width_ > MaxBitmapSide || height_ > MaxBitmapSide ||
      pixels > std::max<int64_t>(left, 0) * kGIFMaxPixelsPerDataByte + 4096)
    GifCodec::Error(gsGIFTooLarge);
  if (image_) {
    image_->loadedBytes_ += pixels;
    if (image_->loadedBytes_ > MaxBitmapBytes) GifCodec::Error(gsGIFTooLarge);
  }
  Decompress(stream);
}

void TGIFSubImage::Decompress(TStream& stream) {
  NewImage();
  const uint8_t fill = transparent_ && gce_ ? gce_->TransparentColorIndex() : 0;
  if (!data_.empty()) std::memset(data_.data(), fill, data_.size());
  GifCodec::DecodeGIFImageData(stream, data_.empty() ? nullptr : data_.data(), width_, height_, Interlaced(),
                               [this](const std::string& message) { Warning(1, message); });
  FreeBitmap();
  FreeMask();
}

void TGIFSubImage::Prepare() {
  if (colorMap_->Count() > 0) {
    packed_ = uint8_t(0x80 | (colorMap_->Optimized() ? 0x20 : 0) | ((colorMap_->BitsPerPixel() - 1) & 7));
  } else {
    packed_ = uint8_t(packed_ & 0x58);
  }
}

void TGIFSubImage::SaveToStream(TStream& stream) {
  extensions_->SaveToStream(stream);
  if (Empty()) return;
  Prepare();
  const uint8_t descriptor[10] = {',',
                                  uint8_t(left_),
                                  uint8_t(left_ >> 8),
                                  uint8_t(top_),
                                  uint8_t(top_ >> 8),
                                  uint8_t(width_),
                                  uint8_t(width_ >> 8),
                                  uint8_t(height_),
                                  uint8_t(height_ >> 8),
                                  packed_};
  stream.WriteBuffer(descriptor, 10);
  colorMap_->SaveToStream(stream);
  Compress(stream);
}

void TGIFSubImage::Compress(TStream& stream) {
  int bits, maxColor;
  if (colorMap_->Count() > 0) {
    maxColor = colorMap_->Count();
    bits = colorMap_->BitsPerPixel();
  } else {
    bits = image_ ? image_->BitsPerPixel() : 8;
    maxColor = 1 << std::clamp(bits, 1, 8);
  }
  std::unique_ptr<TGIFEncoder> encoder;
  if (image_ && image_->Compression == gcRLE)
    encoder = std::make_unique<TRLEEncoder>();
  else
    encoder = std::make_unique<TLZWEncoder>();
  encoder->OnWarning = [this](const std::string& message) { Warning(1, message); };
  encoder->Encode(stream, bits, maxColor, Data(), Interlaced(), height_, width_);
}

// ---------------------------------------------------------------------------
// Cropping
// ---------------------------------------------------------------------------

void TGIFSubImage::Crop() {
  if (Empty() || !transparent_ || !gce_) return;
  const uint8_t t = gce_->TransparentColorIndex();
  const int w = width_, h = height_;
  auto columnClear = [&](int x) {
    for (int y = 0; y < h; ++y)
      if (data_[size_t(y) * w + x] != t) return false;
    return true;
  };
  int x0 = 0, x1 = w;
  while (x0 < x1 && columnClear(x0)) ++x0;
  while (x1 > x0 && columnClear(x1 - 1)) --x1;
  int y0 = 0, y1 = h;
  if (x0 < x1) {
    auto rowClear = [&](int y) {
      for (int x = x0; x < x1; ++x)
        if (data_[size_t(y) * w + x] != t) return false;
      return true;
    };
    while (y0 < y1 && rowClear(y0)) ++y0;
    while (y1 > y0 && rowClear(y1 - 1)) --y1;
  }
  if (x0 >= x1 || y0 >= y1) {
    Clear();
    return;
  }
  std::vector<uint8_t> cropped(size_t(x1 - x0) * size_t(y1 - y0));
  for (int y = y0; y < y1; ++y)
    std::memcpy(cropped.data() + size_t(y - y0) * size_t(x1 - x0), data_.data() + size_t(y) * w + x0, size_t(x1 - x0));
  left_ = uint16_t(left_ + x0);
  top_ = uint16_t(top_ + y0);
  width_ = uint16_t(x1 - x0);
  height_ = uint16_t(y1 - y0);
  data_ = std::move(cropped);
  FreeBitmap();
  FreeMask();
}

// ---------------------------------------------------------------------------
// The extensions before a frame
// ---------------------------------------------------------------------------

TGIFExtension* TGIFExtensionList::GetExtension(int index) const { return static_cast<TGIFExtension*>(GetItem(index)); }

namespace {
// Skips the data sub-blocks at the stream's position, up to and including the terminator.
void SkipSubBlocks(TStream& stream) {
  uint8_t length;
  while (GifCodec::ReadByte(stream, length) && length != 0) {
    if (stream.Size() - stream.Position() <= length) {
      stream.Seek(0, soEnd);
      return;
    }
    stream.Seek(length, soCurrent);
  }
}
}  // namespace

void TGIFExtensionList::LoadFromStream(TStream& stream) {
  uint8_t b;
  if (!GifCodec::ReadByte(stream, b)) return;
  while (b != ',' && b != ';') {
    if (b != '!') {
      Warning(1, GifCodec::Text(gsGIFInvalidIntroducer));
      break;
    }
    TGIFExtensionClass cls = GifCodec::FindExtension(stream);
    if (!cls) {
      // An extension this program does not know is passed over, so that the frames
      // after it are still read.
      Warning(1, GifCodec::Text(gsGIFUnknownExtension));
      uint8_t label;
      if (!GifCodec::ReadByte(stream, label)) return;
      SkipSubBlocks(stream);
    } else {
      stream.Seek(-1, soCurrent);
      TGIFExtension* extension = cls->Create(subImage_);
      try {
        extension->LoadFromStream(stream);
      } catch (...) {
        delete extension;
        throw;
      }
      Add(extension);
    }
    if (!GifCodec::ReadByte(stream, b)) return;
  }
  stream.Seek(-1, soCurrent);
}

// ---------------------------------------------------------------------------
// The list of frames
// ---------------------------------------------------------------------------

void TGIFImageList::SaveToStream(TStream& stream) {
  for (int i = 0; i < GetCount(); ++i) {
    GetImage(i)->SaveToStream(stream);
    if (image_)
      image_->Progress(image_, psRunning, uint8_t(MulDiv(i + 1, 100, GetCount())), false, TRect(),
                       GifCodec::Text(gsGIFSaving));
  }
}

void TGIFImageList::LoadFromStream(TStream& stream) {
  uint8_t b;
  auto skipZeros = [&] {
    do {
      if (!GifCodec::ReadByte(stream, b)) return false;
    } while (b == 0);
    return true;
  };
  if (!skipZeros()) return;
  while (b != ';') {
    stream.Seek(-1, soCurrent);
    if (b != '!' && b != ',') {
      Warning(1, GifCodec::Text(gsGIFUnknownBlock));
      return;
    }
    auto* frame = new TGIFSubImage(image_);
    // The frame joins the list before it reads itself, so that a frame whose data fails
    // keeps what was decoded.
    Add(frame);
    frame->LoadFromStream(stream);
    if (image_) {
      const int64_t size = stream.Size();
      const int percent = size > 0 ? int(stream.Position() * 100 / size) : 100;
      image_->Progress(image_, psRunning, uint8_t(std::clamp(percent, 0, 100)), false, TRect(),
                       GifCodec::Text(gsGIFLoading));
    }
    if (!skipZeros()) return;
  }
  stream.Seek(-1, soCurrent);
}
