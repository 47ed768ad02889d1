#include "controls/ZqButtons.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "controls/ZqGlyphs.h"
#include "platform/gui/Menus.h"
#include "platform/gui/WinCalls.h"

namespace {

constexpr TColor kNone = clNone;

// One row of the scheme table.
struct SchemeRow {
  TColor color, light, shadow, whenDown, hot;
  bool modern, quicken, flat;
  TColor font;
};

// Ordinals 1 .. 13 (zcsCustom applies nothing).
const SchemeRow kSchemes[] = {
    /* zcsGold */ {0x0000C0C0, 0x0000FFFF, 0x00008080, kNone, 0x0000DFDF, true, false, false, 0},
    /* zcsChrome */ {0x00C0C0C0, 0x00FFFFFF, 0x00808080, kNone, kNone, true, false, false, 0},
    /* zcsBlue */ {0x00FF8000, 0x00FFFF00, 0x00FF0000, kNone, kNone, true, false, false, 0},
    /* zcsRed */ {0x000000FF, 0x00C0C0FF, 0x000000C0, kNone, kNone, true, false, false, 0},
    /* zcsUltraFlat1 */ {clBtnFace, 0x00B59284, 0x00B59284, 0x00B59284, 0x00DED3D6, false, false, true, 0},
    /* zcsUltraFlat2 */ {clBtnFace, 0x00000000, 0x00000000, 0x0024DABC, 0x008CF6E4, false, false, true, 0},
    /* zcsUltraFlatXP */ {0x00D1D8DB, 0x00B59284, 0x00B59285, 0x00B59285, 0x00D2BDB6, false, false, true, 0},
    /* zcsAqua */ {0x00ECCE94, 0x00FCE6D4, 0x00000000, kNone, kNone, true, false, false, 0},
    /* zcsDefault */ {clBtnFace, 0x00FFFFFF, 0x00808080, kNone, kNone, false, false, false, 0},
    /* ZscFlatDefault */ {clBtnFace, clBtnFace, clBtnFace, clBtnShadow, clInfoBk, false, false, true, 0},
    /* zcsQuicken */ {0x00603000, 0x00C0C0C0, 0x00C0C0C0, 0x00AD6529, 0x00CEAE9C, false, true, false, 0x00FFFFFF},
    /* zcsGreens */ {0x00C0DCC0, 0x00D0F2E8, 0x00658437, 0x0099BD62, 0x00B3CE8A, false, false, true, 0},
    /* zcsLightBlue */ {0x00F0CAA6, 0x00B59284, 0x00B59285, 0x00B59285, 0x00D2BDB6, false, false, true, 0},
};

// Pascal's Round: halves go to the even neighbour.
int RoundEven(double v) { return int(std::nearbyint(v)); }

// Draws a line from the pen position through the given points, in one colour.
void Lines(TCanvas& c, TColor color, std::initializer_list<TPoint> points) {
  c.Pen().SetColor(color);
  for (const TPoint& p : points) c.LineTo(p.X, p.Y);
}

}  // namespace

bool ZqColorScheme(int style, TZqScheme& scheme) {
  const int ordinal = style & 0x7F;
  if (ordinal < 1 || ordinal > 13) return false;
  const SchemeRow& row = kSchemes[ordinal - 1];
  scheme.Color = row.color;
  scheme.LightColor = row.light;
  scheme.ShadowColor = row.shadow;
  scheme.ColorWhenDown = row.whenDown;
  scheme.HotTrackColor = row.hot;
  scheme.Modern = row.modern;
  scheme.Quicken = row.quicken;
  scheme.Flat = row.flat;
  scheme.FontColor = row.font;
  return true;
}

TColor ZqBlend(TColor face, TColor hot, int step) {
  step = std::clamp(step, 0, 8);
  const TColor a = ColorToRGB(face), b = ColorToRGB(hot);
  auto mix = [step](int x, int y) {
    // x (1 - step/8) + y step/8 in eighths, rounded with halves to even.
    const int v = x * (8 - step) + y * step;
    int q = v / 8;
    const int r = v % 8;
    if (r > 4 || (r == 4 && (q & 1))) ++q;
    return uint8_t(q);
  };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void ZqGradient(TCanvas& canvas, TColor first, TColor second, int left, int top, int right, int bottom) {
  const TColor a = ColorToRGB(first), b = ColorToRGB(second);
  TBrush saved;
  saved.Assign(&canvas.Brush());
  const int span = bottom - top;
  for (int i = 0; i <= 31; ++i) {
    const int y = top + i * span / 31;
    const int y2 = std::min(y + span / 31 + 1, bottom);
    auto channel = [i](int x, int y) { return uint8_t(x + RoundEven(i * (y - x) / 31.0)); };
    canvas.Brush().SetColor(RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
                                channel(GetBValue(a), GetBValue(b))));
    if (y2 > y) canvas.FillRect(Rect(left, y, right, y2));
  }
  canvas.SetBrush(saved);
}

TColor ZqFaceColor(const TZqFace& face) {
  const bool down = face.Down && face.Enabled;
  TColor color = face.Color;
  if (face.Enabled && face.HotTrackColor != clNone) color = ZqBlend(face.Color, face.HotTrackColor, face.FadeStep);
  if (down && face.ColorWhenDown != clNone) color = face.ColorWhenDown;
  return color;
}

int ZqGlyphCell(const TZqFace& face) {
  const int n = face.NumGlyphs;
  int cell = 0;
  if (!face.Enabled) {
    cell = 1;
  } else {
    if (face.MouseInside && n > 3) cell = 3;
    if (face.Down && n > 2) cell = 2;
  }
  // A strip of one cell has no disabled cell: the plain glyph stands for it.
  return cell < n ? cell : 0;
}

std::string ShortenZqCaption(TCanvas& canvas, const std::string& caption, int maxWidth) {
  std::string text = caption;
  while (!text.empty()) {
    TRect r(0, 0, 0, 0);
    DrawText(canvas, text, r, DT_CALCRECT | DT_SINGLELINE);
    if (r.Right - r.Left <= maxWidth) break;
    // Drop the last character (a whole UTF-8 sequence).
    size_t cut = text.size() - 1;
    while (cut > 0 && (uint8_t(text[cut]) & 0xC0) == 0x80) --cut;
    text.erase(cut);
  }
  return text;
}

bool ZqCaptionRoom(const TZqFace& face, TSize& needed, TSize& room) {
  const std::string caption = StripHotkey(face.Caption);
  int gw = 0, gh = 0;
  if (face.Glyph && face.NumGlyphs > 0 && !face.Glyph->Empty()) {
    gw = face.Glyph->Width() / face.NumGlyphs;
    gh = face.Glyph->Height();
  }
  room = TSize{face.Width, face.Height};
  if (caption.empty()) {
    // A glyph alone stands for the caption: it must be seen whole.
    needed = TSize{gw + 8, gh};
    return gw > 0;
  }
  TBitmap scratch;
  TCanvas& c = scratch.Canvas();
  if (face.Font) c.SetFont(*face.Font);
  const bool sideways = face.Layout == blGlyphLeft || face.Layout == blGlyphRight;
  int width = 0;
  if (face.WordWrap) {
    size_t start = 0;
    while (start < caption.size()) {
      size_t end = caption.find_first_of(" \r\n", start);
      if (end == std::string::npos) end = caption.size();
      if (end > start) width = std::max(width, c.TextWidth(caption.substr(start, end - start)));
      start = end + 1;
    }
  } else {
    width = c.TextWidth(caption);
  }
  TRect lines(0, 0, face.WordWrap ? std::max(width, face.Width - 8 - (sideways && gw ? gw + 4 : 0)) : width, 0);
  DrawText(c, caption, lines, DT_CALCRECT | (face.WordWrap ? DT_WORDBREAK : DT_SINGLELINE));
  // The drop-down arrow takes the last 11 pixels; a centred caption keeps clear of it on
  // both sides.
  const int arrow = face.HasPopupMenu ? (face.Alignment == taCenter ? 16 : 8) : 0;
  needed.cx = width + 8 + (sideways && gw > 0 && face.Style != bsShape ? gw + 4 : 0) + arrow;
  needed.cy = std::max(lines.Bottom - lines.Top + (!sideways && gh > 0 ? gh + 4 : 0), gh);
  return true;
}

void DrawZqFace(TCanvas& c, const TZqFace& face) {
  const int w = face.Width, h = face.Height;
  if (w <= 0 || h <= 0) return;
  const bool down = face.Down && face.Enabled;
  const int press = (down && face.Style != bsEncarta) ? 1 : 0;
  const TColor color = ZqFaceColor(face);
  c.Pen().SetWidth(1);
  c.Pen().SetStyle(psSolid);
  c.Pen().SetMode(pmCopy);
  c.Brush().SetStyle(bsSolid);

  // Background.
  if (face.Style == bsShape) {
    c.Brush().SetColor(ZqKeyColor);
    c.FillRect(Rect(0, 0, w, h));
  } else if (!face.Transparent) {
    if (face.Style == bsNormal || face.Style == bsEncarta || face.Style == bsOld) {
      c.Brush().SetColor(color);
      c.FillRect(Rect(0, 0, w, h));
    } else if (face.Style == bsModern) {
      // Strongest a quarter of the way down, lighter towards both edges.
      ZqGradient(c, face.LightColor, color, 2, 2, w - 2, h / 4 + press);
      ZqGradient(c, color, face.LightColor, 2, h / 4 + press, w - 2, h - 1);
    }
  }

  // Frame.
  c.Brush().SetStyle(bsClear);
  const bool plain = face.Style == bsNormal || face.Style == bsEncarta || face.Style == bsOld;
  const bool frame = face.Enabled ? (!face.Flat || face.MouseInside || down) : !face.Flat;
  if (plain && frame) {
    if (face.Style == bsOld) {
      c.Pen().SetColor(face.ShadowColor);
      if (down) {
        c.MoveTo(1, h - 3);
        Lines(c, face.ShadowColor, {Point(1, 1), Point(w - 2, 1)});
      } else {
        c.MoveTo(w - 2, 0);
        Lines(c, face.ShadowColor, {Point(w - 2, h - 2), Point(0, h - 2)});
      }
      c.MoveTo(0, h - 1);
      Lines(c, down ? cl3DDkShadow : face.LightColor, {Point(0, 0), Point(w - 1, 0)});
      Lines(c, down ? face.LightColor : cl3DDkShadow, {Point(w - 1, h - 1), Point(-1, h - 1)});
    } else {
      c.MoveTo(0, h - 1);
      Lines(c, down ? face.ShadowColor : face.LightColor, {Point(0, 0), Point(w - 1, 0)});
      Lines(c, down ? face.LightColor : face.ShadowColor, {Point(w - 1, h - 1), Point(0, h - 1)});
    }
  } else if (face.Style == bsModern) {
    c.Pen().SetColor(down ? face.ShadowColor : color);
    c.Rectangle(1, 1, w - 1, h - 1);
    c.Pen().SetColor(face.ShadowColor);
    c.RoundRect(0, 0, w, h, 6, 6);
  } else if (face.Style == bsQuicken) {
    c.Brush().SetColor(color);
    c.Pen().SetStyle(psClear);
    c.RoundRect(0, 1, w, h, 4, 4);
    c.Pen().SetStyle(psSolid);
    c.MoveTo(4, 0);
    Lines(c, face.ShadowColor, {Point(w - 5, 0)});
    c.MoveTo(4, h - 1);
    Lines(c, face.ShadowColor, {Point(w - 5, h - 1)});
    c.Brush().SetStyle(bsClear);
  }

  // Font.
  if (face.Font) c.SetFont(*face.Font);
  if (face.Style == bsEncarta && down) c.Font().SetStyle(c.Font().Style() | fsBold);

  // The glyph cell.
  TBitmap cell;
  int gw = 0, gh = 0;
  if (face.Glyph && face.NumGlyphs > 0 && !face.Glyph->Empty()) {
    gw = face.Glyph->Width() / face.NumGlyphs;
    gh = face.Glyph->Height();
    if (gw > 0) {
      const int index = ZqGlyphCell(face);
      if (face.Glyph->PixelFormat() == pf32bit) {
        // A glyph with alpha (the icon theme's) keeps its soft edges: blended, not keyed.
        cell.SetPixelFormat(pf32bit);
        cell.SetSize(gw, gh);
        for (int y = 0; y < gh; ++y) std::memcpy(cell.ScanLine(y), face.Glyph->ScanLine(y) + 4 * index * gw, 4 * gw);
      } else {
        cell.SetPixelFormat(pf24bit);
        cell.SetSize(gw, gh);
        for (int y = 0; y < gh; ++y) {
          uint8_t* row = cell.ScanLine(y);
          for (int x = 0; x < gw; ++x) {
            const TColor px = face.Glyph->PixelColor(index * gw + x, y);
            row[3 * x] = GetBValue(px);
            row[3 * x + 1] = GetGValue(px);
            row[3 * x + 2] = GetRValue(px);
          }
        }
        cell.SetTransparent(true);
      }
    } else {
      gh = 0;
    }
  }
  const bool hasGlyph = gw > 0 && gh > 0;

  // Caption and glyph placement.
  int boxWidth = w - 8;
  const bool sideways = face.Layout == blGlyphLeft || face.Layout == blGlyphRight;
  if (face.Style != bsShape && sideways && hasGlyph) boxWidth -= gw + 4;
  boxWidth = std::max(boxWidth, 0);
  const std::string caption = face.WordWrap ? face.Caption : ShortenZqCaption(c, face.Caption, boxWidth);
  TRect measured(0, 0, boxWidth, 0);
  if (!caption.empty()) DrawText(c, caption, measured, DT_CALCRECT | DT_WORDBREAK);
  const int tw = measured.Right - measured.Left, th = measured.Bottom - measured.Top;
  const int tw4 = caption.empty() ? 0 : tw + 4;  // the caption and its gap, 0 without caption

  int textLeft = press + 4, textTop = 0, glyphLeft = 0, glyphTop = 0;
  if (face.Style == bsShape) {
    glyphLeft = (w - gw) / 2;
    glyphTop = (h - gh) / 2;
    textTop = (h - th) / 2 + press;
  } else if (sideways) {
    textTop = (h - th) / 2 + press;
    glyphTop = (h - gh) / 2 + press;
    if (face.Layout == blGlyphLeft) {
      textLeft = press + 4 + (hasGlyph ? gw + 4 : 0);
      glyphLeft = press + 4;
    } else {
      textLeft = press + 4;
      glyphLeft = press + 4 + tw4;
    }
    if (!face.WordWrap) {
      const bool left = face.Layout == blGlyphLeft;
      if (face.Alignment == taRightJustify)
        glyphLeft = left ? w - 4 - gw - tw4 + press : w - 4 - gw + press;
      else if (face.Alignment == taCenter)
        glyphLeft = (w - gw) / 2 + press + (left ? -(tw4 / 2) : tw4 / 2);
    }
  } else {
    const int block = th + (hasGlyph ? gh + 4 : 0);
    if (face.Layout == blGlyphTop) {
      glyphTop = (h - block) / 2 + press;
      textTop = glyphTop + gh;
    } else {
      textTop = (h - block) / 2 + press;
      glyphTop = textTop + th;
    }
    if (face.Alignment == taLeftJustify)
      glyphLeft = press + 4;
    else if (face.Alignment == taRightJustify)
      glyphLeft = w - gw - 4 + press;
    else
      glyphLeft = (w - gw) / 2 + press;
  }
  if (hasGlyph) {
    if (cell.PixelFormat() == pf32bit)
      DrawBlended(c, Bounds(glyphLeft, glyphTop, gw, gh), cell);
    else
      c.Draw(glyphLeft, glyphTop, cell);
  }
  if (!caption.empty()) {
    if (!face.Enabled) c.Font().SetColor(ZqDisabledTextColor);
    c.Brush().SetStyle(bsClear);
    unsigned format = DT_WORDBREAK;
    if (face.Alignment == taCenter) format |= DT_CENTER;
    if (face.Alignment == taRightJustify) format |= DT_RIGHT;
    TRect box(textLeft, textTop, textLeft + boxWidth, textTop + th);
    if (face.Style == bsShape) {
      // Centred over the whole width.
      box = Rect(4, textTop, w - 4, textTop + th);
      format = DT_WORDBREAK | DT_CENTER;
    }
    DrawText(c, caption, box, format);
  }

  // The drop-down arrow of a button with a popup menu.
  if (face.HasPopupMenu) {
    TBitmap arrow;
    arrow.Assign(const_cast<TBitmap*>(&ZqResourceBitmap("ZQARROW")));
    arrow.SetTransparent(true);
    c.Draw(w - 11, h / 2 - 1, arrow);
  }
}

// ---------------------------------------------------------------------------
// The built-in bitmaps
// ---------------------------------------------------------------------------
namespace {

constexpr TColor kBack = ZqKeyColor;

// The drop-down arrow: a 7 x 4 triangle pointing down.
std::unique_ptr<TBitmap> MakeArrow() {
  auto arrow = std::make_unique<TBitmap>();
  arrow->SetPixelFormat(pf24bit);
  arrow->SetSize(7, 5);
  arrow->Canvas().Brush().SetColor(kBack);
  arrow->Canvas().FillRect(Rect(0, 0, 7, 5));
  for (int row = 0; row < 4; ++row) {
    arrow->Canvas().Brush().SetColor(clBlack);
    arrow->Canvas().FillRect(Rect(row, row, 7 - row, row + 1));
  }
  return arrow;
}

}  // namespace

const TBitmap& ZqResourceBitmap(const std::string& name) {
  static std::map<std::string, std::unique_ptr<TBitmap>> resources;
  static const TBitmap empty;
  auto it = resources.find(name);
  if (it != resources.end()) return *it->second;
  std::unique_ptr<TBitmap> made;
  if (name == "ZQARROW") {
    made = MakeArrow();
  } else {
    // A kind's glyph: its icon as two cells, plain and disabled.
    made = std::make_unique<TBitmap>();
    const std::string icon = ZqGlyphName(std::string(), name);
    if (icon.empty() || !ZqGlyphStrip(icon, 16, 2, *made)) return empty;  // asked again later
  }
  return *(resources[name] = std::move(made));
}

// ---------------------------------------------------------------------------
// The fader
// ---------------------------------------------------------------------------
TZqButtonThread::TZqButtonThread(std::function<void()> step) : timer_(std::make_unique<TTimer>(nullptr)) {
  timer_->SetEnabled(false);
  timer_->SetInterval(Interval);
  timer_->OnTimer = [step = std::move(step)](TObject*) { step(); };
}

TZqButtonThread::~TZqButtonThread() {
  timer_->SetEnabled(false);
  timer_->OnTimer = nullptr;
}

void TZqButtonThread::Resume() { timer_->SetEnabled(true); }
void TZqButtonThread::Suspend() { timer_->SetEnabled(false); }
bool TZqButtonThread::Suspended() const { return !timer_->Enabled(); }
