// Colours and logical palettes: system colour resolution, nearest-entry search and
// the stock palettes.
#include <mutex>

#include "platform/graphics/Graphics.h"

namespace {

// Classic desktop colours, used until the GUI layer installs the desktop's own.
constexpr TColor kClassicSystemColors[25] = {
    RGB(0xD4, 0xD0, 0xC8), RGB(0x3A, 0x6E, 0xA5), RGB(0x0A, 0x24, 0x6A), RGB(0x80, 0x80, 0x80),
    RGB(0xD4, 0xD0, 0xC8), RGB(0xFF, 0xFF, 0xFF), RGB(0x00, 0x00, 0x00), RGB(0x00, 0x00, 0x00),
    RGB(0x00, 0x00, 0x00), RGB(0xFF, 0xFF, 0xFF), RGB(0xD4, 0xD0, 0xC8), RGB(0xD4, 0xD0, 0xC8),
    RGB(0x80, 0x80, 0x80), RGB(0x0A, 0x24, 0x6A), RGB(0xFF, 0xFF, 0xFF), RGB(0xD4, 0xD0, 0xC8),
    RGB(0x80, 0x80, 0x80), RGB(0x80, 0x80, 0x80), RGB(0x00, 0x00, 0x00), RGB(0xD4, 0xD0, 0xC8),
    RGB(0xFF, 0xFF, 0xFF), RGB(0x40, 0x40, 0x40), RGB(0xD4, 0xD0, 0xC8), RGB(0x00, 0x00, 0x00),
    RGB(0xFF, 0xFF, 0xE1)};

std::mutex g_resolverMutex;
TSystemColorResolver g_resolver;

}  // namespace

TColor ColorToRGB(TColor color) {
  if (color == clNone || color == clDefault) return clBlack;
  if ((uint32_t(color) & 0xFF000000u) == 0xFF000000u) {
    int index = int(color & 0xFF);
    if (index > 24) return clBlack;
    {
      std::lock_guard<std::mutex> guard(g_resolverMutex);
      if (g_resolver) return g_resolver(index) & 0x00FFFFFF;
    }
    return kClassicSystemColors[index];
  }
  return color & 0x00FFFFFF;
}

void SetSystemColorResolver(TSystemColorResolver resolver) {
  std::lock_guard<std::mutex> guard(g_resolverMutex);
  g_resolver = std::move(resolver);
}

// ---------------------------------------------------------------------------

TPalette::TPalette(std::vector<TPaletteEntry> entries) : entries_(std::move(entries)) {
  if (entries_.size() > size_t(MaxPaletteEntries)) entries_.resize(MaxPaletteEntries);
}

TPalette::TPalette(std::initializer_list<TPaletteEntry> entries) : TPalette(std::vector<TPaletteEntry>(entries)) {}

const TPaletteEntry& TPalette::Entry(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return entries_[size_t(index)];
}

void TPalette::SetEntry(int index, const TPaletteEntry& entry) {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  entries_[size_t(index)] = entry;
}

void TPalette::Resize(int count) {
  if (count < 0) count = 0;
  if (count > MaxPaletteEntries) count = MaxPaletteEntries;
  entries_.resize(size_t(count));
}

void TPalette::Add(const TPaletteEntry& entry) {
  if (Count() >= MaxPaletteEntries) throw EInvalidGraphicOperation("Palette is full");
  entries_.push_back(entry);
}

TColor TPalette::Color(int index) const {
  if (index < 0 || index >= Count()) return clBlack;
  const TPaletteEntry& e = entries_[size_t(index)];
  return RGB(e.peRed, e.peGreen, e.peBlue);
}

int NearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b) {
  int best = -1;
  int bestDistance = 0x7FFFFFFF;
  const auto& entries = palette.Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    int dr = int(entries[i].peRed) - r, dg = int(entries[i].peGreen) - g, db = int(entries[i].peBlue) - b;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = int(i);
      if (d == 0) break;
    }
  }
  return best;
}

int NearestPaletteIndex(const TPalette& palette, TColor color) {
  color = ColorToRGB(color);
  return NearestPaletteIndex(palette, GetRValue(color), GetGValue(color), GetBValue(color));
}

const TPalette& DefaultPalette20() {
  static const TPalette palette{
      {0x00, 0x00, 0x00, 0}, {0x80, 0x00, 0x00, 0}, {0x00, 0x80, 0x00, 0}, {0x80, 0x80, 0x00, 0},
      {0x00, 0x00, 0x80, 0}, {0x80, 0x00, 0x80, 0}, {0x00, 0x80, 0x80, 0}, {0xC0, 0xC0, 0xC0, 0},
      {0xC0, 0xDC, 0xC0, 0}, {0xA6, 0xCA, 0xF0, 0}, {0xFF, 0xFB, 0xF0, 0}, {0xA0, 0xA0, 0xA4, 0},
      {0x80, 0x80, 0x80, 0}, {0xFF, 0x00, 0x00, 0}, {0x00, 0xFF, 0x00, 0}, {0xFF, 0xFF, 0x00, 0},
      {0x00, 0x00, 0xFF, 0}, {0xFF, 0x00, 0xFF, 0}, {0x00, 0xFF, 0xFF, 0}, {0xFF, 0xFF, 0xFF, 0}};
  return palette;
}

const TPalette& SystemPalette16() {
  static const TPalette palette = [] {
    const auto& d = DefaultPalette20().Entries();
    std::vector<TPaletteEntry> e(d.begin(), d.begin() + 8);
    e.insert(e.end(), d.begin() + 12, d.end());
    return TPalette(std::move(e));
  }();
  return palette;
}

const TPalette& HalftonePalette() {
  static const TPalette palette = [] {
    const auto& d = DefaultPalette20().Entries();
    std::vector<TPaletteEntry> e(d.begin(), d.begin() + 10);
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) e.push_back(PaletteEntry(uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)));
    for (int k = 1; k <= 20; ++k) {
      uint8_t v = uint8_t((k * 255 * 2 + 21) / 42);
      e.push_back(PaletteEntry(v, v, v));
    }
    e.insert(e.end(), d.begin() + 10, d.end());
    return TPalette(std::move(e));
  }();
  return palette;
}

const TPalette& MonochromePalette() {
  static const TPalette palette{{0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0}};
  return palette;
}
