// The common base of the GIF object tree: small stream routines, items, owning lists,
// the colour tables with their usage sort, and the header.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "formats/GIFImage.h"

namespace GifCodec {

TGIFColor ColorToTriple(TColor color) { return {GetRValue(color), GetGValue(color), GetBValue(color)}; }
TColor TripleToColor(const TGIFColor& triple) { return RGB(triple.Red, triple.Green, triple.Blue); }

void WriteByte(TStream& stream, uint8_t value) { stream.WriteBuffer(&value, 1); }

bool ReadByte(TStream& stream, uint8_t& value) { return stream.Read(&value, 1) == 1; }

void ReadCheck(TStream& stream, void* buffer, int64_t size) {
  if (stream.Read(buffer, size) != size) Error(gsGIFPrematureEOF);
}

void WriteStrings(TStream& stream, const TStrings& strings) {
  for (int i = 0; i < strings.Count(); ++i) {
    const std::string s = strings.Strings(i);
    for (size_t at = 0; at < s.size(); at += 255) {
      const size_t n = std::min<size_t>(255, s.size() - at);
      WriteByte(stream, uint8_t(n));
      stream.WriteBuffer(s.data() + at, int64_t(n));
    }
  }
  WriteByte(stream, 0);
}

void ReadStrings(TStream& stream, TStrings& strings) {
  strings.Clear();
  uint8_t length;
  while (ReadByte(stream, length) && length != 0) {
    std::string s(length, '\0');
    ReadCheck(stream, s.data(), length);
    strings.Add(s);
  }
}

}  // namespace GifCodec

// ---------------------------------------------------------------------------
// TGIFItem, TGIFList
// ---------------------------------------------------------------------------

void TGIFItem::Warning(int severity, const std::string& message) {
  if (image_) image_->Warning(this, severity, message);
}

void TGIFItem::SaveToFile(const std::string& fileName) {
  TMemoryStream stream;
  SaveToStream(stream);
  stream.SaveToFile(fileName);
}

void TGIFItem::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

TGIFList::~TGIFList() { Clear(); }

TGIFItem* TGIFList::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return items_[size_t(index)];
}

int TGIFList::Add(TGIFItem* item) {
  items_.push_back(item);
  return GetCount() - 1;
}

void TGIFList::Delete(int index) {
  TGIFItem* item = GetItem(index);
  items_.erase(items_.begin() + index);
  delete item;
}

void TGIFList::Clear() {
  while (!items_.empty()) Delete(0);
}

int TGIFList::Remove(TGIFItem* item) {
  const int index = IndexOf(item);
  if (index >= 0) items_.erase(items_.begin() + index);
  return index;
}

int TGIFList::IndexOf(const TGIFItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

void TGIFList::SaveToStream(TStream& stream) {
  for (TGIFItem* item : items_) item->SaveToStream(stream);
}

void TGIFList::Warning(int severity, const std::string& message) {
  if (image_) image_->Warning(this, severity, message);
}

// ---------------------------------------------------------------------------
// TGIFColorMap
// ---------------------------------------------------------------------------

void TGIFColorMap::Clear() {
  data_.clear();
  count_ = capacity_ = 0;
  optimized_ = false;
}

void TGIFColorMap::SetCapacity(int size) {
  if (size < capacity_) return;
  int capacity = size <= 16 ? 16 : (size + 31) / 32 * 32;
  capacity = std::min(capacity, 256);
  if (capacity == capacity_) return;
  data_.resize(size_t(capacity));
  capacity_ = capacity;
}

TColor TGIFColorMap::Colors(int index) {
  if (index < 0 || index >= count_) {
    Warning(1, GifCodec::Text(gsGIFInvalidColorIndex));
    if (count_ == 0) GifCodec::Error(gsGIFColorTableEmpty);
    index = 0;
  }
  return GifCodec::TripleToColor(data_[size_t(index)]);
}

int TGIFColorMap::Add(TColor color) {
  if (count_ >= 256) GifCodec::Error(gsGIFColorOverflow);
  if (count_ >= capacity_) SetCapacity(count_ + 1);
  data_[size_t(count_)] = GifCodec::ColorToTriple(color);
  ++count_;
  optimized_ = false;
  Changed();
  return count_ - 1;
}

int TGIFColorMap::AddUnique(TColor color) {
  const int index = IndexOf(color);
  return index >= 0 ? index : Add(color);
}

void TGIFColorMap::Delete(int index) {
  if (index < 0 || index >= count_) GifCodec::Error(gsGIFInvalidColorIndex);
  std::move(data_.begin() + index + 1, data_.begin() + count_, data_.begin() + index);
  --count_;
  optimized_ = false;
  Changed();
}

int TGIFColorMap::IndexOf(TColor color) const {
  const TGIFColor triple = GifCodec::ColorToTriple(color);
  if (optimized_) {
    for (int i = 0; i < count_; ++i)
      if (data_[size_t(i)] == triple) return i;
  } else {
    for (int i = count_ - 1; i >= 0; --i)
      if (data_[size_t(i)] == triple) return i;
  }
  return -1;
}

void TGIFColorMap::ImportPalette(const TPalette& palette) {
  Clear();
  const int n = std::min(palette.Count(), 256);
  if (n == 0) return;
  SetCapacity(n);
  for (int i = 0; i < n; ++i) {
    const TPaletteEntry& e = palette.Entry(i);
    data_[size_t(i)] = {e.peRed, e.peGreen, e.peBlue};
  }
  count_ = n;
  Changed();
}

void TGIFColorMap::ImportRGB(const TRGBQuad* colors, int count) {
  Clear();
  count = std::min(count, 256);
  if (count <= 0) return;
  SetCapacity(count);
  for (int i = 0; i < count; ++i) data_[size_t(i)] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue};
  count_ = count;
  Changed();
}

void TGIFColorMap::ImportDIB(const TBitmap& bitmap) {
  const TPalette palette = bitmap.Palette();
  std::vector<TRGBQuad> quads;
  for (int i = 0; i < palette.Count() && i < 256; ++i) {
    const TPaletteEntry& e = palette.Entry(i);
    TRGBQuad q;
    q.rgbRed = e.peRed;
    q.rgbGreen = e.peGreen;
    q.rgbBlue = e.peBlue;
    quads.push_back(q);
  }
  ImportRGB(quads.data(), int(quads.size()));
  Changed();
}

TPalette TGIFColorMap::ExportPalette() const {
  std::vector<TPaletteEntry> entries;
  for (int i = 0; i < count_; ++i) {
    const TGIFColor& c = data_[size_t(i)];
    entries.push_back(PaletteEntry(c.Red, c.Green, c.Blue, PC_NOCOLLAPSE));
  }
  return TPalette(std::move(entries));
}

int TGIFColorMap::BitsPerPixel() const { return GifCodec::Colors2bpp(count_); }

void TGIFColorMap::SaveToStream(TStream& stream) const {
  if (count_ == 0) return;
  const int entries = 1 << BitsPerPixel();
  std::vector<uint8_t> bytes(size_t(entries) * 3, 0);
  for (int i = 0; i < count_; ++i) {
    bytes[size_t(i) * 3] = data_[size_t(i)].Red;
    bytes[size_t(i) * 3 + 1] = data_[size_t(i)].Green;
    bytes[size_t(i) * 3 + 2] = data_[size_t(i)].Blue;
  }
  stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
}

void TGIFColorMap::LoadFromStream(TStream& stream, int count) {
  Clear();
  count = std::clamp(count, 0, 256);
  if (count == 0) return;
  SetCapacity(count);
  uint8_t bytes[768];
  GifCodec::ReadCheck(stream, bytes, int64_t(count) * 3);
  for (int i = 0; i < count; ++i) data_[size_t(i)] = {bytes[i * 3], bytes[i * 3 + 1], bytes[i * 3 + 2]};
  count_ = count;
}

void TGIFColorMap::Assign(TPersistent* source) {
  if (auto* map = dynamic_cast<TGIFColorMap*>(source)) {
    if (map == this) return;
    Clear();
    capacity_ = map->capacity_;
    count_ = map->count_;
    optimized_ = map->optimized_;
    data_.assign(size_t(capacity_), TGIFColor{});
    std::copy(map->data_.begin(), map->data_.begin() + count_, data_.begin());
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

bool TGIFColorMap::DoOptimize() {
  if (count_ <= 1) return false;
  optimized_ = true;
  TGIFHistogram histogram{};
  BuildHistogram(histogram);
  // Quicksort by usage, largest first, the middle element as pivot.
  auto sort = [&](auto& self, int low, int high) -> void {
    while (low < high) {
      int i = low, j = high;
      const int32_t pivot = histogram[size_t((low + high) / 2)].Count;
      while (i <= j) {
        while (histogram[size_t(i)].Count > pivot) ++i;
        while (histogram[size_t(j)].Count < pivot) --j;
        if (i <= j) {
          std::swap(histogram[size_t(i)], histogram[size_t(j)]);
          ++i;
          --j;
        }
      }
      if (low < j) self(self, low, j);
      low = i;
    }
  };
  sort(sort, 0, count_ - 1);
  bool unchanged = true;
  for (int i = 0; i < count_; ++i)
    if (histogram[size_t(i)].Index != i) unchanged = false;
  if (unchanged) {
    // Colours that no pixel uses stay: the order already is the sorted one.
    return true;
  }
  uint8_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = uint8_t(i);
  for (int i = 0; i < count_; ++i) map[histogram[size_t(i)].Index] = uint8_t(i);
  MapImages(map);
  std::vector<TGIFColor> old(data_.begin(), data_.begin() + count_);
  for (int i = 0; i < count_; ++i) data_[size_t(i)] = old[size_t(histogram[size_t(i)].Index)];
  for (int i = 0; i < count_; ++i) {
    if (histogram[size_t(i)].Count == 0) {
      count_ = i;
      break;
    }
  }
  Changed();
  return true;
}

// ---------------------------------------------------------------------------
// Global and local colour tables
// ---------------------------------------------------------------------------

void TGIFGlobalColorMap::Warning(int severity, const std::string& message) {
  if (header_->Image()) header_->Image()->Warning(this, severity, message);
}

namespace {
// Adds a frame's pixels to the histogram of the table it uses.
void CountPixels(const TGIFSubImage& frame, TGIFHistogram& histogram, int count) {
  const uint8_t* p = frame.Data();
  if (!p) return;
  const int64_t n = std::min<int64_t>(frame.DataSize(), int64_t(frame.Width()) * frame.Height());
  for (int64_t i = 0; i < n; ++i)
    if (p[i] < count) ++histogram[p[i]].Count;
}

void MapFrame(TGIFSubImage& frame, const uint8_t* map) {
  uint8_t* p = frame.Data();
  if (p) {
    const int64_t n = frame.DataSize();
    for (int64_t i = 0; i < n; ++i) p[i] = map[p[i]];
  }
  if (frame.Transparent() && frame.GraphicControlExtension()) {
    TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    gce->SetTransparentColorIndex(map[gce->TransparentColorIndex()]);
  }
  frame.FreeBitmap();
  frame.FreeMask();
}
}  // namespace

void TGIFGlobalColorMap::BuildHistogram(TGIFHistogram& histogram) {
  for (int i = 0; i < Count(); ++i) histogram[size_t(i)] = {0, i};
  TGIFImage* image = header_->Image();
  if (!image) return;
  for (int i = 0; i < image->Images().GetCount(); ++i) {
    TGIFSubImage* frame = image->Images()[i];
    if (&frame->ActiveColorMap() == this) CountPixels(*frame, histogram, Count());
  }
}

void TGIFGlobalColorMap::MapImages(const uint8_t* map) {
  TGIFImage* image = header_->Image();
  if (!image) return;
  for (int i = 0; i < image->Images().GetCount(); ++i) {
    TGIFSubImage* frame = image->Images()[i];
    if (&frame->ActiveColorMap() == this) MapFrame(*frame, map);
  }
}

bool TGIFGlobalColorMap::Optimize() {
  TGIFImage* image = header_->Image();
  if (!image || image->Images().GetCount() == 0) return false;
  return DoOptimize();
}

void TGIFGlobalColorMap::Changed() {
  if (TGIFImage* image = header_->Image()) image->SetPaletteHandle(std::nullopt);
}

void TGIFLocalColorMap::Warning(int severity, const std::string& message) {
  if (subImage_->Image()) subImage_->Image()->Warning(this, severity, message);
}

void TGIFLocalColorMap::BuildHistogram(TGIFHistogram& histogram) {
  for (int i = 0; i < Count(); ++i) histogram[size_t(i)] = {0, i};
  CountPixels(*subImage_, histogram, Count());
}

void TGIFLocalColorMap::MapImages(const uint8_t* map) { MapFrame(*subImage_, map); }

bool TGIFLocalColorMap::Optimize() { return DoOptimize(); }

void TGIFLocalColorMap::Changed() { subImage_->SetPalette(std::nullopt); }

// ---------------------------------------------------------------------------
// TGIFHeader
// ---------------------------------------------------------------------------

TGIFHeader::TGIFHeader(TGIFImage* image) : TGIFItem(image), colorMap_(std::make_unique<TGIFGlobalColorMap>(this)) {
  Clear();
}

TGIFHeader::~TGIFHeader() = default;

void TGIFHeader::Clear() {
  colorMap_->Clear();
  width_ = height_ = 0;
  packed_ = backgroundIndex_ = aspect_ = 0;
}

void TGIFHeader::Assign(TPersistent* source) {
  if (auto* header = dynamic_cast<TGIFHeader*>(source)) {
    colorMap_->Assign(&header->ColorMap());
    width_ = header->width_;
    height_ = header->height_;
    packed_ = header->packed_;
    backgroundIndex_ = header->backgroundIndex_;
    aspect_ = header->aspect_;
    return;
  }
  if (auto* map = dynamic_cast<TGIFColorMap*>(source)) {
    Clear();
    colorMap_->Assign(map);
    return;
  }
  TGIFItem::Assign(source);
}

TGIFVersion TGIFHeader::GetVersion() const { return colorMap_->Optimized() || aspect_ != 0 ? gv89a : gv87a; }

TColor TGIFHeader::BackgroundColor() { return colorMap_->Colors(backgroundIndex_); }

int TGIFHeader::BitsPerPixel() const { return colorMap_->BitsPerPixel(); }

void TGIFHeader::Prepare() {
  uint8_t packed = 0;
  if (colorMap_->Count() > 0) packed = colorMap_->Optimized() ? 0x88 : 0x80;
  const int resolution = image_ ? image_->ColorResolution() : ColorResolution();
  packed = uint8_t(packed | ((std::max(resolution, 0) << 4) & 0x70));
  if (colorMap_->Count() > 0) {
    packed = uint8_t(packed | ((colorMap_->BitsPerPixel() - 1) & 7));
  } else {
    const int bits = image_ ? image_->BitsPerPixel() : 1;
    packed = uint8_t(packed | ((bits - 1) & 7));
  }
  packed_ = packed;
}

void TGIFHeader::SaveToStream(TStream& stream) {
  const TGIFVersion version = image_ ? image_->Version() : GetVersion();
  if (version == gvUnknown) GifCodec::Error(gsGIFUnsupportedVersion);
  Prepare();
  stream.WriteBuffer(version == gv87a ? "GIF87a" : "GIF89a", 6);
  const uint8_t screen[7] = {uint8_t(width_),         uint8_t(width_ >> 8), uint8_t(height_), uint8_t(height_ >> 8),
                             packed_, backgroundIndex_, aspect_};
  stream.WriteBuffer(screen, 7);
  if (packed_ & 0x80) colorMap_->SaveToStream(stream);
}

void TGIFHeader::LoadFromStream(TStream& stream) {
  const int64_t start = stream.Position();
  char signature[6];
  GifCodec::ReadCheck(stream, signature, 6);
  auto isGif = [&] {
    return std::toupper(uint8_t(signature[0])) == 'G' && std::toupper(uint8_t(signature[1])) == 'I' &&
           std::toupper(uint8_t(signature[2])) == 'F';
  };
  if (!isGif()) {
    // Some files carry four bytes before the signature.
    stream.SetPosition(start + 4);
    GifCodec::ReadCheck(stream, signature, 6);
    if (!isGif()) GifCodec::Error(gsGIFInvalidSignature);
  }
  uint8_t screen[7];
  GifCodec::ReadCheck(stream, screen, 7);
  width_ = uint16_t(screen[0] | (screen[1] << 8));
  height_ = uint16_t(screen[2] | (screen[3] << 8));
  packed_ = screen[4];
  backgroundIndex_ = screen[5];
  aspect_ = screen[6];
  if (packed_ & 0x80)
    colorMap_->LoadFromStream(stream, 2 << (packed_ & 7));
  else
    colorMap_->Clear();
}
