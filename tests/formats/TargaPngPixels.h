#pragma once
// Pixels of our bitmaps and of the independent tools' output side by side, for the
// Targa and PNG reader tests.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "formats/GraphicFormats.h"
#include "platform/graphics/Graphics.h"

namespace pixeltest {

// Red, green, blue and alpha per pixel, 8 bits each.
struct Rgba {
  int width = 0, height = 0;
  std::vector<uint8_t> px;
  const uint8_t* at(int x, int y) const { return &px[(size_t(y) * width + x) * 4]; }
};

// The colours a bitmap shows (alpha from the 4th byte of 32-bit bitmaps, else 255).
inline Rgba FromBitmap(const TBitmap& b) {
  Rgba r;
  r.width = b.Width();
  r.height = b.Height();
  r.px.resize(size_t(r.width) * r.height * 4);
  for (int y = 0; y < r.height; ++y) {
    const uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < r.width; ++x) {
      const TColor c = b.PixelColor(x, y);
      uint8_t* p = &r.px[(size_t(y) * r.width + x) * 4];
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
      p[3] = b.PixelFormat() == pf32bit ? row[4 * x + 3] : 255;
    }
  }
  return r;
}

// A tool's raster (grey, grey+alpha, RGB or RGBA at any maxval) scaled to 8 bits the
// way the readers scale 16-bit samples (value * 255 / maxval, truncated).
inline Rgba FromRaster(const testsupport::Raster& t) {
  Rgba r;
  r.width = t.width;
  r.height = t.height;
  r.px.resize(size_t(r.width) * r.height * 4);
  const bool grey = t.channels <= 2, alpha = t.channels == 2 || t.channels == 4;
  for (int y = 0; y < t.height; ++y)
    for (int x = 0; x < t.width; ++x) {
      uint8_t* p = &r.px[(size_t(y) * r.width + x) * 4];
      auto scale = [&](int c) { return uint8_t(uint32_t(t.at(x, y, c)) * 255 / uint32_t(t.maxval)); };
      for (int c = 0; c < 3; ++c) p[c] = scale(grey ? 0 : c);
      p[3] = alpha ? scale(t.channels - 1) : 255;
    }
  return r;
}

// Loads a picture file through the picture object, as the viewer does.
inline std::unique_ptr<TPicture> LoadPicture(const std::string& file) {
  InitializeGraphicFormats();
  auto picture = std::make_unique<TPicture>();
  picture->LoadFromFile(file);
  return picture;
}

inline Rgba LoadRgba(const std::string& file) {
  auto picture = LoadPicture(file);
  auto* bitmap = dynamic_cast<TBitmap*>(picture->Graphic());
  if (!bitmap) throw std::runtime_error("not a bitmap: " + file);
  return FromBitmap(*bitmap);
}

// Describes the first differences (empty when the pictures agree within tolerance);
// alpha is compared only when withAlpha is set.
inline std::string Compare(const Rgba& ours, const Rgba& ref, int tolerance = 0, bool withAlpha = false) {
  std::ostringstream out;
  if (ours.width != ref.width || ours.height != ref.height) {
    out << "size " << ours.width << "x" << ours.height << " instead of " << ref.width << "x" << ref.height;
    return out.str();
  }
  int reported = 0, count = 0;
  for (int y = 0; y < ours.height; ++y)
    for (int x = 0; x < ours.width; ++x)
      for (int c = 0; c < (withAlpha ? 4 : 3); ++c)
        if (std::abs(int(ours.at(x, y)[c]) - int(ref.at(x, y)[c])) > tolerance) {
          ++count;
          if (reported++ < 3)
            out << "(" << x << "," << y << ")[" << c << "] " << int(ours.at(x, y)[c]) << " instead of "
                << int(ref.at(x, y)[c]) << "; ";
        }
  if (count) out << count << " samples differ";
  return out.str();
}

// The names of the files in a folder that end in suffix, sorted.
inline std::vector<std::string> FilesEndingIn(const std::string& dir, const std::string& suffix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
        names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace pixeltest
