#include "controls/MainMenuXP.h"

#include <algorithm>

#include "platform/graphics/Graphics.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/WinCalls.h"

namespace {

// A black-on-white bitmap of the given rows ('#' black).
std::unique_ptr<TBitmap> Mono(std::initializer_list<const char*> rows) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  const int h = int(rows.size()), w = int(std::string(*rows.begin()).size());
  b->SetSize(w, h);
  int y = 0;
  for (const char* row : rows) {
    uint8_t* line = b->ScanLine(y++);
    for (int x = 0; x < w; ++x) std::fill_n(line + 3 * x, 3, uint8_t(row[x] == '#' ? 0 : 255));
  }
  return b;
}

// Sets the handlers of item's sub-items and of all their descendants, depth first.
void AssignDropDown(TMainMenuXP* menu, TMenuItem* item) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem* child = item->Items(i);
    child->OnAdvancedDrawItem = [menu](TObject* s, TCanvas* c, const TRect& r, TOwnerDrawState st) {
      menu->DrawMenuItem(s, c, r, st);
    };
    child->OnMeasureItem = [menu](TObject* s, TCanvas* c, int& w, int& h) { menu->MeasureMenuItem(s, c, w, h); };
    AssignDropDown(menu, child);
  }
}

}  // namespace

const TBitmap& MenuCheckBitmap() {
  static const std::unique_ptr<TBitmap> check = Mono({
      "             ",
      "             ",
      "             ",
      "         #   ",
      "        ##   ",
      "   #   ###   ",
      "   ## ###    ",
      "   #####     ",
      "    ###      ",
      "     #       ",
      "             ",
      "             ",
      "             ",
  });
  return *check;
}

const TBitmap& MenuArrowBitmap() {
  static const std::unique_ptr<TBitmap> arrow = Mono({
      "             ",
      "             ",
      "             ",
      "     #       ",
      "     ##      ",
      "     ###     ",
      "     ####    ",
      "     ###     ",
      "     ##      ",
      "     #       ",
      "             ",
      "             ",
      "             ",
  });
  return *arrow;
}

TMainMenuXP::TMainMenuXP(TComponent* AOwner) : TMainMenu(AOwner) {
  SetOwnerDraw(true);
  OnChange = [this](TObject* Sender, TMenuItem* Source, bool Rebuild) { AssignItemHandlers(Sender, Source, Rebuild); };
}

void TMainMenuXP::AssignItemHandlers(TObject*, TMenuItem*, bool) {
  TMenuItem* root = Items();
  for (int i = 0; i < root->Count(); ++i) {
    TMenuItem* top = root->Items(i);
    AssignDropDown(this, top);
    top->OnAdvancedDrawItem = [this](TObject* s, TCanvas* c, const TRect& r, TOwnerDrawState st) {
      DrawMenuBarItem(s, c, r, st);
    };
  }
}

void TMainMenuXP::MeasureMenuItem(TObject*, TCanvas*, int& Width, int&) { Width += 40; }

void TMainMenuXP::DrawMenuBarItem(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  ACanvas->Font().SetColor(State.Contains(odDisabled) ? clInactiveCaptionText : clMenuText);
  if (!State.Contains(odSelected)) {
    ACanvas->Brush().SetStyle(bsSolid);
    ACanvas->Brush().SetColor(clBtnFace);
    ACanvas->FillRect(ARect);
  } else {
    DrawSelection(ACanvas, ARect);
  }
  TRect r = ARect;
  r.Left += 2;
  DrawItemText(item, ACanvas, State, r);
}

void TMainMenuXP::DrawMenuItem(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  ACanvas->Font().SetColor(State.Contains(odDisabled) ? clInactiveCaptionText : clMenuText);
  if (!State.Contains(odSelected)) {
    ACanvas->Brush().SetStyle(bsSolid);
    ACanvas->Brush().SetColor(BarColor);
    ACanvas->FillRect(Rect(ARect.Left, ARect.Top, ARect.Left + BarWidth, ARect.Bottom));
    ACanvas->Brush().SetColor(clWindow);
    ACanvas->FillRect(Rect(ARect.Left + BarWidth, ARect.Top, ARect.Right, ARect.Bottom));
  } else {
    DrawSelection(ACanvas, ARect);
  }
  TRect r = ARect;
  r.Left += 25;
  DrawItemText(item, ACanvas, State, r);
}

void TMainMenuXP::DrawSelection(TCanvas* ACanvas, const TRect& ARect) {
  ACanvas->Brush().SetStyle(bsSolid);
  ACanvas->Brush().SetColor(clActiveCaption);
  ACanvas->FrameRect(ARect);
  if (ScreenBitsPerPixel() <= 8) {
    ACanvas->Brush().SetColor(clActiveCaption);
    ACanvas->Font().SetColor(clWhite);
  } else {
    ACanvas->Brush().SetColor(SelectionColor);
  }
  ACanvas->FillRect(Rect(ARect.Left + 1, ARect.Top + 1, ARect.Right - 1, ARect.Bottom - 1));
}

void TMainMenuXP::DrawItemText(TMenuItem* Item, TCanvas* ACanvas, TOwnerDrawState State, const TRect& ARect) {
  TRect t = ARect;
  t.Top += 1;
  ACanvas->Brush().SetStyle(bsClear);
  if (Item->Caption() == "-") {
    t.Left -= 5;
    t.Top += 3;
    DrawEdge(*ACanvas, t, EDGE_ETCHED, BF_TOP);
  } else {
    DrawText(*ACanvas, Item->Caption(), t, DT_LEFT);
    if (Item->ShortCut() != 0) {
      t.Right -= 10;
      DrawText(*ACanvas, ShortCutToText(Item->ShortCut()), t, DT_RIGHT | DT_NOPREFIX);
    }
  }
  TRect g = ARect;
  g.Left -= 25;
  DrawItemGlyph(Item, ACanvas, State, g);
}

void TMainMenuXP::DrawItemGlyph(TMenuItem* Item, TCanvas* ACanvas, TOwnerDrawState State, const TRect& ARect) {
  const TRect& g = ARect;
  const TRect b = State.Contains(odSelected) ? Rect(g.Left + 1, g.Top + 1, g.Left + 16, g.Bottom - 1)
                                             : Rect(g.Left + 2, g.Top + 2, g.Left + 16, g.Bottom);
  if (Item->Checked()) {
    TBitmap mark;
    mark.Assign(const_cast<TBitmap*>(Item->RadioItem() ? &MenuArrowBitmap() : &MenuCheckBitmap()));
    mark.SetTransparent(true);
    ACanvas->Draw(b.Left, b.Top, mark);
  }
  TMenu* menu = Item->GetParentMenu();
  if (TImageList* images = menu ? menu->Images() : nullptr; images && Item->ImageIndex() != -1)
    images->GetBitmap(Item->ImageIndex(), Item->Bitmap());
  TBitmap copy;
  copy.Assign(Item->Bitmap());
  if (copy.Empty()) return;
  if (State.Contains(odDisabled)) GrayOutBitmap(&copy);
  ACanvas->StretchDraw(Rect(b.Left, b.Top, b.Left + 16, b.Bottom), copy);
}

void TMainMenuXP::GrayOutBitmap(TBitmap* Bitmap) {
  if (!Bitmap || Bitmap->Empty()) return;
  TCanvas& canvas = Bitmap->Canvas();
  bool first = true;
  TColor last = 0, grey = 0;
  // 24- and 32-bit pixels are written in place; other formats through the canvas.
  const int bytes = Bitmap->PixelFormat() == pf24bit ? 3 : Bitmap->PixelFormat() == pf32bit ? 4 : 0;
  for (int y = 0; y < Bitmap->Height(); ++y) {
    for (int x = 0; x < Bitmap->Width(); ++x) {
      const TColor c = Bitmap->PixelColor(x, y);
      if (first || c != last) {
        // A new colour: its grey, kept for the pixels of the same colour that follow.
        const int g = std::min((GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3 + 70, 230);
        grey = GetNearestColor(canvas, RGB(uint8_t(g), uint8_t(g), uint8_t(g)));
        last = c;
        first = false;
      }
      if (bytes) {
        uint8_t* px = Bitmap->ScanLine(y) + bytes * x;
        px[0] = GetBValue(grey);
        px[1] = GetGValue(grey);
        px[2] = GetRValue(grey);
      } else {
        canvas.SetPixels(x, y, grey);
      }
    }
  }
}
