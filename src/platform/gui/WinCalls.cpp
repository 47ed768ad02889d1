#include "platform/gui/WinCalls.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <vector>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/gui/GuiInternal.h"

namespace {

// One line of text as it is shown, and where its underlined letter lies (npos: none).
struct Line {
  std::string text;
  size_t underline = std::string::npos;
};

// Removes the accelerator marks of one line, remembering the underlined letter.
Line StripPrefix(const std::string& raw, bool prefix) {
  Line line;
  if (!prefix) {
    line.text = raw;
    return line;
  }
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '&' && i + 1 < raw.size()) {
      ++i;
      if (raw[i] != '&' && line.underline == std::string::npos) line.underline = line.text.size();
    }
    line.text += raw[i];
  }
  return line;
}

// Splits a paragraph into lines of at most maxWidth pixels, breaking between words.
void WrapParagraph(const std::string& paragraph, int maxWidth, const QFontMetrics& metrics, bool prefix,
                   std::vector<Line>& out) {
  auto width = [&](const std::string& raw) {
    const std::string shown = StripPrefix(raw, prefix).text;
    return metrics.horizontalAdvance(gui::QtText(shown));
  };
  std::string current;
  size_t i = 0;
  while (i < paragraph.size()) {
    // The next word with the blanks before it.
    size_t wordStart = i;
    while (i < paragraph.size() && paragraph[i] == ' ') ++i;
    while (i < paragraph.size() && paragraph[i] != ' ') ++i;
    std::string word = paragraph.substr(wordStart, i - wordStart);
    if (!current.empty() && width(current + word) > maxWidth) {
      out.push_back(StripPrefix(current, prefix));
      // A new line does not start with the blanks that separated it from the last one.
      size_t first = word.find_first_not_of(' ');
      current = first == std::string::npos ? std::string() : word.substr(first);
    } else {
      current += word;
    }
  }
  out.push_back(StripPrefix(current, prefix));
}

std::atomic<int> g_screenBits{0};

}  // namespace

int DrawText(TCanvas& canvas, const std::string& text, TRect& rect, unsigned format) {
  EnsureQtApplication();
  const QFontMetrics metrics(ToQFont(canvas.Font()));
  const bool prefix = !(format & DT_NOPREFIX);
  std::vector<Line> lines;
  if (!text.empty()) {
    size_t start = 0;
    while (true) {
      size_t end = (format & DT_SINGLELINE) ? std::string::npos : text.find('\n', start);
      std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
      if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE))
        WrapParagraph(paragraph, rect.Right - rect.Left, metrics, prefix, lines);
      else
        lines.push_back(StripPrefix(paragraph, prefix));
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  const int lineHeight = metrics.height();
  const int height = int(lines.size()) * lineHeight;
  auto widthOf = [&](const std::string& s) {
    return metrics.horizontalAdvance(gui::QtText(s));
  };
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const Line& line : lines) widest = std::max(widest, widthOf(line.text));
    rect.Right = rect.Left + widest;
    rect.Bottom = rect.Top + height;
    return height;
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    const int w = widthOf(line.text);
    int x = rect.Left;
    if (format & DT_CENTER)
      x = rect.Left + (rect.Right - rect.Left - w) / 2;
    else if (format & DT_RIGHT)
      x = rect.Right - w;
    const int y = rect.Top + int(i) * lineHeight;
    TRect clip(rect.Left, std::max(y, rect.Top), rect.Right, std::min(y + lineHeight, rect.Bottom));
    if (clip.Right <= clip.Left || clip.Bottom <= clip.Top) continue;
    if (!line.text.empty()) canvas.TextRect(clip, x, y, line.text);
    if (line.underline != std::string::npos) {
      // The underline runs under the letter (a whole UTF-8 sequence), one pixel below the baseline.
      size_t end = line.underline + 1;
      while (end < line.text.size() && (uint8_t(line.text[end]) & 0xC0) == 0x80) ++end;
      const int from = x + widthOf(line.text.substr(0, line.underline));
      const int to = x + widthOf(line.text.substr(0, end));
      const int uy = y + metrics.ascent() + 1;
      if (uy >= clip.Top && uy < clip.Bottom) {
        TBrush saved;
        saved.Assign(&canvas.Brush());
        canvas.Brush().SetColor(canvas.Font().Color());
        canvas.FillRect(Rect(std::max(from, clip.Left), uy, std::min(to, clip.Right), uy + 1));
        canvas.SetBrush(saved);
      }
    }
  }
  return height;
}

void DrawEdge(TCanvas& canvas, const TRect& rect, unsigned edge, unsigned flags) {
  // One line around r: topLeft on the top and left sides, bottomRight on the others.
  auto frame = [&](const TRect& r, TColor topLeft, TColor bottomRight) {
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    TBrush saved;
    saved.Assign(&canvas.Brush());
    canvas.Brush().SetColor(topLeft);
    if (flags & BF_TOP) canvas.FillRect(Rect(r.Left, r.Top, r.Right, r.Top + 1));
    if (flags & BF_LEFT) canvas.FillRect(Rect(r.Left, r.Top, r.Left + 1, r.Bottom));
    canvas.Brush().SetColor(bottomRight);
    if (flags & BF_BOTTOM) canvas.FillRect(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom));
    if (flags & BF_RIGHT) canvas.FillRect(Rect(r.Right - 1, r.Top, r.Right, r.Bottom));
    canvas.SetBrush(saved);
  };
  TRect r = rect;
  if (edge & BDR_RAISEDOUTER)
    frame(r, cl3DLight, cl3DDkShadow);
  else if (edge & BDR_SUNKENOUTER)
    frame(r, clBtnShadow, clBtnHighlight);
  if (flags & BF_TOP) ++r.Top;
  if (flags & BF_LEFT) ++r.Left;
  if (flags & BF_BOTTOM) --r.Bottom;
  if (flags & BF_RIGHT) --r.Right;
  if (edge & BDR_RAISEDINNER)
    frame(r, clBtnHighlight, clBtnShadow);
  else if (edge & BDR_SUNKENINNER)
    frame(r, cl3DDkShadow, cl3DLight);
}

void DrawCaptionCloseBox(TCanvas& canvas, const TRect& rect) {
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  TBrush savedBrush;
  savedBrush.Assign(&canvas.Brush());
  TPen savedPen;
  savedPen.Assign(&canvas.Pen());
  canvas.Brush().SetColor(clBtnFace);
  canvas.FillRect(rect);
  DrawEdge(canvas, rect, EDGE_RAISED, BF_RECT);
  // The cross, two pixels thick, inside a square margin of a quarter of the box.
  const int side = std::min(rect.Right - rect.Left, rect.Bottom - rect.Top);
  const int margin = std::max(2, side / 4);
  const int x0 = rect.Left + margin, y0 = rect.Top + margin;
  const int n = side - 2 * margin;
  canvas.Brush().SetColor(clBtnText);
  for (int i = 0; i < n; ++i) {
    canvas.FillRect(Rect(x0 + i, y0 + i, x0 + i + 2, y0 + i + 1));
    canvas.FillRect(Rect(x0 + n - 1 - i, y0 + i, x0 + n + 1 - i, y0 + i + 1));
  }
  canvas.SetBrush(savedBrush);
  canvas.SetPen(savedPen);
}

void DrawFocusRect(TCanvas& canvas, const TRect& rect) {
  auto invert = [&](int x, int y) {
    if (((x + y) & 1) != 0) return;
    const TColor c = canvas.Pixels(x, y);
    if (c != clNone) canvas.SetPixels(x, y, c ^ 0xFFFFFF);
  };
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  for (int x = rect.Left; x < rect.Right; ++x) {
    invert(x, rect.Top);
    if (rect.Bottom - 1 > rect.Top) invert(x, rect.Bottom - 1);
  }
  for (int y = rect.Top + 1; y < rect.Bottom - 1; ++y) {
    invert(rect.Left, y);
    if (rect.Right - 1 > rect.Left) invert(rect.Right - 1, y);
  }
}

TColor GetNearestColor(TCanvas& canvas, TColor color) {
  const TColor rgb = ColorToRGB(color);
  TBitmap* bitmap = canvas.Impl().bitmap;
  if (!bitmap || canvas.Impl().painter) return rgb;
  const TPixelFormat f = bitmap->PixelFormat();
  if (f != pf1bit && f != pf4bit && f != pf8bit) return rgb;
  const TPalette palette = bitmap->Palette();
  const int index = NearestPaletteIndex(palette, rgb);
  return index < 0 ? rgb : palette.Color(index);
}

int ScreenBitsPerPixel() {
  if (int fixed = g_screenBits.load()) return fixed;
  EnsureQtApplication();
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->depth() : 24;
}

void SetScreenBitsPerPixel(int bits) { g_screenBits.store(bits > 0 ? bits : 0); }

bool IsAccel(char key, const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return std::toupper(uint8_t(caption[i + 1])) == std::toupper(uint8_t(key));
  }
  return false;
}
