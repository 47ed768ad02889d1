#pragma once
// More controls: panels, bevels, splitters, images, paint boxes, radio groups, the
// timer and the colour box.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/gui/StdCtrls.h"

class TPicture;
class TStrings;

// ===========================================================================
// Panels
// ===========================================================================
class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* AOwner);
  ~TCustomPanel() override;
  TBevelCut BevelInner() const;
  void SetBevelInner(TBevelCut v);
  TBevelCut BevelOuter() const;
  void SetBevelOuter(TBevelCut v);
  int BevelWidth() const;
  void SetBevelWidth(int v);
  int BorderWidth() const;
  void SetBorderWidth(int v);
  // bsSingle draws a one-pixel frame around the bevels.
  TBorderStyle BorderStyle() const;
  void SetBorderStyle(TBorderStyle s);
  TAlignment Alignment() const;
  void SetAlignment(TAlignment a);
  TTextLayout VerticalAlignment() const;
  void SetVerticalAlignment(TTextLayout l);
  // The parent's background shows through (Color is then not painted).
  bool ParentBackground() const;
  void SetParentBackground(bool v);
  bool AutoSize() const;
  void SetAutoSize(bool v);
  bool FullRepaint() const;
  void SetFullRepaint(bool v);
  TRect AlignClientRect() const override;
  // The caption inside the bevels.
  bool TextRoom(TSize& needed, TSize& room) const override;

 protected:
  // Draws the background, the bevels and the caption.
  void Paint() override;
  void TextChanged() override;

 private:
  TBevelCut bevelInner_ = bvNone, bevelOuter_ = bvRaised;
  int bevelWidth_ = 1, borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
  TTextLayout verticalAlignment_ = tlCenter;
  bool parentBackground_ = false;
  bool autoSize_ = false;
  bool fullRepaint_ = true;
};

class TPanel : public TCustomPanel {
 public:
  explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

// Draws the class library's 3D frame: top-left in topColor, bottom-right in bottomColor,
// width lines inwards; rect shrinks by the frame.
void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

// ===========================================================================
// Bevels
// ===========================================================================
enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
 public:
  explicit TBevel(TComponent* AOwner);
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape s);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle s);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

// ===========================================================================
// Splitters
// ===========================================================================
enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };
using TCanResizeEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

// Dragging the splitter resizes the aligned control it touches (the neighbour on the
// side the splitter is aligned to).
class TSplitter : public TGraphicControl {
 public:
  explicit TSplitter(TComponent* AOwner);
  int MinSize() const { return minSize_; }
  void SetMinSize(int v) { minSize_ = v > 0 ? v : 1; }
  bool AutoSnap() const { return autoSnap_; }
  void SetAutoSnap(bool v) { autoSnap_ = v; }
  TResizeStyle ResizeStyle() const { return resizeStyle_; }
  void SetResizeStyle(TResizeStyle s) { resizeStyle_ = s; }
  bool Beveled() const { return beveled_; }
  void SetBeveled(bool v);
  // The control the splitter resizes now (nullptr when none touches it).
  TControl* ResizeControl() const;
  // Moves the splitter by delta pixels (towards the right or bottom when positive), as a
  // drag of the mouse would; runs OnCanResize and OnMoved.
  void MoveBy(int delta);

  TCanResizeEvent OnCanResize;
  TNotifyEvent OnMoved;

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 protected:
  void Paint() override;

 private:
  void updateCursor();
  int minSize_ = 30;
  bool autoSnap_ = true;
  bool beveled_ = false;
  TResizeStyle resizeStyle_ = rsPattern;
  bool dragging_ = false;
  TPoint downPos_;
};

// ===========================================================================
// Images
// ===========================================================================
class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;
  TPicture* Picture() const;
  void SetPicture(const TPicture* picture);
  // Drawing on an image turns its picture into a bitmap of the image's size (when it
  // holds nothing) and draws on that bitmap; raises EInvalidOperation for pictures of
  // other kinds, as the class library does. (Hides the control's own canvas.)
  TCanvas* Canvas();
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v);
  bool Center() const { return center_; }
  void SetCenter(bool v);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool IncrementalDisplay() const { return incrementalDisplay_; }
  void SetIncrementalDisplay(bool v) { incrementalDisplay_ = v; }
  // The rectangle the picture is drawn into (client coordinates).
  TRect DestRect() const;

  TProgressEvent OnProgress;

 protected:
  void Paint() override;

 private:
  void pictureChanged(TObject* sender);
  std::unique_ptr<TPicture> picture_;
  bool autoSize_ = false, stretch_ = false, center_ = false, proportional_ = false, transparent_ = false;
  bool incrementalDisplay_ = false;
  bool drawing_ = false;
};

class TPaintBox : public TGraphicControl {
 public:
  explicit TPaintBox(TComponent* AOwner);
  TNotifyEvent OnPaint;

 protected:
  void Paint() override;
};

// ===========================================================================
// Radio groups
// ===========================================================================
class TCustomRadioGroup : public TGroupBox {
 public:
  explicit TCustomRadioGroup(TComponent* AOwner);
  ~TCustomRadioGroup() override;
  // One radio button per line.
  TStrings* Items() const;
  void SetItems(const TStrings* items);
  // The checked item (-1: none). Setting it checks that button and runs OnClick when it
  // changes, as in the class library.
  int ItemIndex() const;
  void SetItemIndex(int index);
  int Columns() const;
  void SetColumns(int n);
  // The radio button of an item (for enabling single items).
  TRadioButton* Buttons(int index) const;
  void AlignControls() override;

  // For the layer.
  void ButtonClicked(TRadioButton* button);
  void ItemsChanged();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class TRadioGroup : public TCustomRadioGroup {
 public:
  explicit TRadioGroup(TComponent* AOwner) : TCustomRadioGroup(AOwner) {}
};

// ===========================================================================
// Timers (run on the GUI thread)
// ===========================================================================
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool Enabled() const;
  void SetEnabled(bool v);
  // Milliseconds; 0 stops the timer.
  unsigned Interval() const;
  void SetInterval(unsigned ms);

  // Fired every Interval while enabled (a change of OnTimer takes effect at once).
  TNotifyEvent OnTimer;

  // For the layer: one tick.
  void Timer();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// ===========================================================================
// Colour box: a drop-down of named colours
// ===========================================================================
enum TColorBoxStyleItem {
  cbStandardColors,  // the 16 colours of the system palette
  cbExtendedColors,  // money green, sky blue, cream, medium grey
  cbSystemColors,    // clWindow, clBtnFace ...
  cbIncludeNone,
  cbIncludeDefault,
  cbCustomColor,     // first entry "Custom..." opens the colour dialog
  cbPrettyNames,
  cbCustomColors
};
using TColorBoxStyle = TSetOf<TColorBoxStyleItem>;

class TColorBox : public TCustomComboBox {
 public:
  explicit TColorBox(TComponent* AOwner);
  ~TColorBox() override;
  // The chosen colour; setting a colour not in the list adds it as a custom entry.
  TColor Selected() const;
  void SetSelected(TColor color);
  TColorBoxStyle Style() const;
  void SetStyle(TColorBoxStyle style);
  TColor DefaultColorColor() const;
  void SetDefaultColorColor(TColor c);
  TColor NoneColorColor() const;
  void SetNoneColorColor(TColor c);
  int ColorCount() const;
  TColor Colors(int index) const;
  std::string ColorNames(int index) const;

  void Select() override;

 private:
  void fill();
  TColorBoxStyle style_{cbStandardColors, cbExtendedColors, cbSystemColors};
  TColor defaultColorColor_ = clBlack;
  TColor noneColorColor_ = clBlack;
  TColor selected_ = clBlack;
};

// The class library's colour names ("clRed") and their inverse.
std::string ColorToString(TColor color);
bool IdentToColor(const std::string& ident, TColor& color);
TColor StringToColor(const std::string& text);
