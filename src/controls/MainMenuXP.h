#pragma once
// TMainMenuXP: a main menu that draws all of its items itself in a flat style: drop-down
// items get a silver bar down their left side, a white body and a framed grey selection;
// menu-bar items get a button-face background. The items keep their own captions,
// shortcuts, check marks and click handlers; only their drawing and width change. The
// menu uses its own OnChange to give every item, also those added later, its handlers.
#include "platform/gui/Menus.h"

class TMainMenuXP : public TMainMenu {
 public:
  explicit TMainMenuXP(TComponent* AOwner);

  // The change handler: puts DrawMenuItem and MeasureMenuItem on every item of the
  // drop-down menus (at any depth) and DrawMenuBarItem on the top-level items,
  // overwriting handlers that were there.
  void AssignItemHandlers(TObject* Sender, TMenuItem* Source, bool Rebuild);

  // The item handlers.
  void DrawMenuBarItem(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);
  void DrawMenuItem(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);
  // Drop-down items are 40 pixels wider than the library measures them.
  void MeasureMenuItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height);

  // The drawing steps.
  // A frame in the active caption colour around a grey fill (on screens of 8 bits or fewer
  // the fill is the caption colour and the text white).
  static void DrawSelection(TCanvas* ACanvas, const TRect& ARect);
  void DrawItemText(TMenuItem* Item, TCanvas* ACanvas, TOwnerDrawState State, const TRect& ARect);
  void DrawItemGlyph(TMenuItem* Item, TCanvas* ACanvas, TOwnerDrawState State, const TRect& ARect);
  // Turns every pixel into a light grey: (red + green + blue) div 3 + 70, at most 230.
  static void GrayOutBitmap(TBitmap* Bitmap);

  // Width of the silver bar and the colours of the flat look.
  static constexpr int BarWidth = 20;
  static constexpr TColor BarColor = TColor(0x00C0C0C0);
  static constexpr TColor SelectionColor = TColor(0x009F9F9F);
};

// The system's small menu bitmaps the menu draws for checked items: the check mark and,
// for a checked radio item, the menu arrow. Black on white; white is the transparent colour.
const TBitmap& MenuCheckBitmap();
const TBitmap& MenuArrowBitmap();
