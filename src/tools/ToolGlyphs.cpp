#include "tools/ToolGlyphs.h"

#include <functional>

#include "platform/graphics/Graphics.h"
#include "platform/gui/ImgList.h"

namespace {

constexpr TColor kGround = clFuchsia;  // drawn transparent

void AddGlyph(TImageList& list, const std::function<void(TCanvas&)>& draw) {
  TBitmap glyph;
  glyph.SetPixelFormat(pf24bit);
  glyph.SetSize(16, 16);
  TCanvas& c = glyph.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(kGround);
  c.FillRect(Rect(0, 0, 16, 16));
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  draw(c);
  list.AddMasked(&glyph, kGround);
}

void Line(TCanvas& c, TColor color, int width, int x1, int y1, int x2, int y2) {
  c.Pen().SetColor(color);
  c.Pen().SetWidth(width);
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
  c.Pen().SetWidth(1);
}

void Box(TCanvas& c, TColor pen, TColor fill, int x1, int y1, int x2, int y2) {
  c.Pen().SetColor(pen);
  c.Brush().SetColor(fill);
  c.Rectangle(x1, y1, x2, y2);
}

void Cross(TCanvas& c) {
  Line(c, clMaroon, 2, 3, 3, 12, 12);
  Line(c, clMaroon, 2, 12, 3, 3, 12);
}

void Bin(TCanvas& c) {
  Box(c, clBlack, clSilver, 4, 4, 12, 15);
  Line(c, clBlack, 1, 2, 3, 14, 3);
  Line(c, clBlack, 1, 6, 1, 10, 1);
  for (int x : {6, 8, 10}) Line(c, clGray, 1, x, 6, x, 13);
}

void Clip(TCanvas& c, TColor color) {
  c.Pen().SetColor(color);
  c.Pen().SetWidth(1);
  c.Polyline({Point(10, 4), Point(10, 13), Point(8, 15), Point(6, 13), Point(6, 2), Point(8, 0), Point(12, 0),
              Point(13, 2), Point(13, 12)});
}

void Folder(TCanvas& c) {
  Box(c, clOlive, clYellow, 1, 4, 15, 14);
  Box(c, clOlive, clYellow, 1, 2, 7, 5);
}

// A screen with the part a window takes filled.
void Tile(TCanvas& c, int left, int top, int right, int bottom) {
  Box(c, clNavy, clWhite, 1, 2, 15, 14);
  c.Brush().SetColor(clNavy);
  c.FillRect(Rect(1 + left, 2 + top, 1 + right, 2 + bottom));
}

}  // namespace

void AddCompareGlyphs(TImageList& list) {
  AddGlyph(list, Cross);
  AddGlyph(list, Bin);
  AddGlyph(list, [](TCanvas& c) { Clip(c, clBlue); });
  AddGlyph(list, Cross);
  AddGlyph(list, [](TCanvas& c) {
    Box(c, clBlack, clWhite, 1, 1, 15, 15);
    Line(c, clBlack, 1, 4, 5, 4, 12);
    Line(c, clBlack, 1, 11, 5, 11, 12);
    c.SetPixels(7, 6, clBlack);
    c.SetPixels(7, 10, clBlack);
  });
  AddGlyph(list, [](TCanvas& c) {
    Box(c, clGray, clWhite, 1, 1, 15, 15);
    Line(c, clRed, 1, 8, 3, 8, 13);
    Line(c, clRed, 1, 3, 8, 13, 8);
  });
  AddGlyph(list, [](TCanvas& c) {
    Clip(c, clGray);
    Line(c, clRed, 2, 2, 14, 14, 2);
  });
}

void AddCopyWindowGlyphs(TImageList& list) {
  AddGlyph(list, [](TCanvas& c) {  // full view: the four corners pointing out
    Box(c, clNavy, clWhite, 3, 4, 13, 12);
    Line(c, clNavy, 1, 0, 0, 3, 3);
    Line(c, clNavy, 1, 15, 0, 12, 3);
    Line(c, clNavy, 1, 0, 15, 3, 12);
    Line(c, clNavy, 1, 15, 15, 12, 12);
  });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 0, 0, 7, 12); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 7, 0, 14, 12); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 0, 0, 5, 12); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 5, 0, 9, 12); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 9, 0, 14, 12); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 0, 0, 7, 6); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 0, 6, 7, 12); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 7, 0, 14, 6); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 7, 6, 14, 12); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 0, 0, 14, 4); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 0, 4, 14, 8); });
  AddGlyph(list, [](TCanvas& c) { Tile(c, 0, 8, 14, 12); });
  AddGlyph(list, [](TCanvas& c) {  // the magnifier
    c.Brush().SetColor(clAqua);
    c.Pen().SetColor(clBlack);
    c.Ellipse(1, 1, 11, 11);
    Line(c, clBlack, 3, 10, 10, 14, 14);
  });
  AddGlyph(list, [](TCanvas& c) {  // the picture at its own size
    Box(c, clBlack, clWhite, 1, 1, 15, 15);
    Line(c, clBlack, 1, 4, 5, 4, 12);
    Line(c, clBlack, 1, 11, 5, 11, 12);
    c.SetPixels(7, 6, clBlack);
    c.SetPixels(7, 10, clBlack);
  });
  AddGlyph(list, Bin);
  AddGlyph(list, Folder);
  AddGlyph(list, Cross);
}
