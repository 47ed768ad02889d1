#include "controls/ZqButtons.h"

#include "platform/graphics/Graphics.h"
#include "platform/gui/Menus.h"

std::string FittedZqCaption(TCanvas& canvas, const std::string& caption, int maxWidth) {
  std::string text = StripHotkey(caption);
  while (!text.empty() && canvas.TextWidth(text) > maxWidth) {
    // Drop the last character (a whole UTF-8 sequence).
    size_t cut = text.size() - 1;
    while (cut > 0 && (uint8_t(text[cut]) & 0xC0) == 0x80) --cut;
    text.erase(cut);
  }
  return text;
}

void DrawZqFace(TCanvas& canvas, const TZqFace& face) {
  const int w = face.Width, h = face.Height;
  if (w <= 0 || h <= 0) return;
  const bool down = face.Down && face.Enabled;
  const int press = down ? 1 : 0;

  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(face.Color);
  canvas.FillRect(Rect(0, 0, w, h));

  bool frame = face.Enabled ? (!face.Flat || face.MouseInside || down) : !face.Flat;
  if (frame) {
    // The bevel: the left column and the top row (less its last pixel) in the top-left
    // colour, the right column and the bottom row (less its first pixel) in the other.
    canvas.Brush().SetColor(down ? face.ShadowColor : face.LightColor);
    canvas.FillRect(Rect(0, 0, 1, h));
    canvas.FillRect(Rect(0, 0, w - 1, 1));
    canvas.Brush().SetColor(down ? face.LightColor : face.ShadowColor);
    canvas.FillRect(Rect(w - 1, 0, w, h));
    canvas.FillRect(Rect(1, h - 1, w, h));
  }

  if (face.Font) canvas.SetFont(*face.Font);
  if (!face.Enabled) canvas.Font().SetColor(ZqDisabledTextColor);
  const int boxWidth = w - 8 > 0 ? w - 8 : 0;
  std::string text = face.WordWrap ? StripHotkey(face.Caption) : FittedZqCaption(canvas, face.Caption, boxWidth);
  if (text.empty()) return;
  const int textWidth = canvas.TextWidth(text);
  const int textHeight = canvas.TextHeight(text);
  int x = press + 4;
  if (face.Alignment == taRightJustify)
    x += boxWidth - textWidth;
  else if (face.Alignment == taCenter)
    x += (boxWidth - textWidth) / 2;
  canvas.Brush().SetStyle(bsClear);
  canvas.TextRect(Rect(press + 4, 0, press + 4 + boxWidth, h), x, (h - textHeight) / 2 + press, text);
}
