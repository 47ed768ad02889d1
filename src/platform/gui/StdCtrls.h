#pragma once
// The standard controls: labels, static texts, edits, memos, buttons, check boxes,
// radio buttons, combo boxes, list boxes and group boxes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Menus.h"

class TStrings;

// ===========================================================================
// Labels
// ===========================================================================
class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* AOwner);
  ~TLabel() override;
  bool Transparent() const;
  void SetTransparent(bool v);
  // The label takes the size of its text (with WordWrap: only its height changes).
  bool AutoSize() const;
  void SetAutoSize(bool v);
  TAlignment Alignment() const;
  void SetAlignment(TAlignment a);
  TTextLayout Layout() const;
  void SetLayout(TTextLayout l);
  bool WordWrap() const;
  void SetWordWrap(bool v);
  // '&' marks an accelerator (shown underlined, "&&" is '&'); on by default.
  bool ShowAccelChar() const;
  void SetShowAccelChar(bool v);
  // Sets the size from the text now (AutoSize does this after every change).
  void AdjustBounds();
  // A wrapped label needs its widest word and its lines; another its whole text.
  bool TextRoom(TSize& needed, TSize& room) const override;

 protected:
  void TextChanged() override;
  void FontChanged() override;
  void ColorChanged() override;

 private:
  bool transparent_ = false, autoSize_ = true, wordWrap_ = false, showAccel_ = true;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
};

// A label with a window of its own (it can have a border and a background colour). Without
// AutoSize its lines break between words where they are wider than it.
enum TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };

class TStaticText : public TWinControl {
 public:
  explicit TStaticText(TComponent* AOwner);
  bool AutoSize() const;
  void SetAutoSize(bool v);
  TAlignment Alignment() const;
  void SetAlignment(TAlignment a);
  TStaticBorderStyle BorderStyle() const;
  void SetBorderStyle(TStaticBorderStyle s);
  bool Transparent() const;
  void SetTransparent(bool v);

 protected:
  void TextChanged() override;
  void FontChanged() override;
  void ColorChanged() override;

 private:
  bool autoSize_ = true, transparent_ = false;
  TAlignment alignment_ = taLeftJustify;
  TStaticBorderStyle border_ = sbsNone;
};

// ===========================================================================
// Edits
// ===========================================================================
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEdit : public TWinControl {
 public:
  ~TCustomEdit() override;
  int MaxLength() const;
  virtual void SetMaxLength(int v);
  bool ReadOnly() const;
  virtual void SetReadOnly(bool v);
  // Character positions (0-based, counted in characters, not bytes).
  virtual int SelStart() const;
  virtual void SetSelStart(int v);
  virtual int SelLength() const;
  virtual void SetSelLength(int v);
  virtual std::string SelText() const;
  virtual void SetSelText(const std::string& s);
  virtual void SelectAll();
  virtual void ClearSelection();
  virtual void Clear();
  virtual void CopyToClipboard();
  virtual void CutToClipboard();
  virtual void PasteFromClipboard();
  bool Modified() const;
  void SetModified(bool v);
  bool AutoSelect() const;
  void SetAutoSelect(bool v);
  TEditCharCase CharCase() const;
  void SetCharCase(TEditCharCase c);

  // Fired after the text changed, by the user or by the program.
  TNotifyEvent OnChange;

  // For the layer: the text changed in the window.
  virtual void Change();

 protected:
  TCustomEdit(TComponent* AOwner, TWidgetFactory factory);
};

class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* AOwner);
  // Characters are shown as this character ('\0': plain text).
  char PasswordChar() const;
  void SetPasswordChar(char c);
  bool AutoSize() const;
  void SetAutoSize(bool v);
  TAlignment Alignment() const;
  void SetAlignment(TAlignment a);
  // Room kept free of text at the left and right edges (for a picture or a button drawn
  // there), in pixels; the class library's text rectangle (EM_SETRECT).
  void SetTextMargins(int left, int right);

 protected:
  std::string GetText() const override;
  void TextChanged() override;
  void ColorChanged() override;
};

// The text of a memo as lines (a line break inside a line splits it).
class TMemo : public TCustomEdit {
 public:
  explicit TMemo(TComponent* AOwner);
  ~TMemo() override;
  TStrings* Lines() const;
  void SetLines(const TStrings* lines);
  TScrollStyle ScrollBars() const;
  void SetScrollBars(TScrollStyle s);
  bool WordWrap() const;
  void SetWordWrap(bool v);
  bool WantReturns() const;
  void SetWantReturns(bool v);
  bool WantTabs() const;
  void SetWantTabs(bool v);
  TAlignment Alignment() const;
  void SetAlignment(TAlignment a);
  TBorderStyle BorderStyle() const;
  void SetBorderStyle(TBorderStyle s);
  // The width the memo needs to show each of these lines whole on one line: the widest of
  // them (tabs at the memo's tab stops) with the margins, the frame and a vertical bar.
  int WidthForLines(const std::vector<std::string>& lines) const;

  int SelStart() const override;
  void SetSelStart(int v) override;
  int SelLength() const override;
  void SetSelLength(int v) override;
  std::string SelText() const override;
  void SetSelText(const std::string& s) override;
  void SelectAll() override;
  void Clear() override;
  void SetReadOnly(bool v) override;
  void SetMaxLength(int v) override;
  void CopyToClipboard() override;
  void CutToClipboard() override;
  void PasteFromClipboard() override;

 protected:
  TMemo(TComponent* AOwner, TWidgetFactory factory);
  std::string GetText() const override;
  void TextChanged() override;
  void ColorChanged() override;

 private:
  std::unique_ptr<TStrings> lines_;
  bool wantReturns_ = true;
};

// ===========================================================================
// Buttons
// ===========================================================================
class TButtonControl : public TWinControl {
 protected:
  TButtonControl(TComponent* AOwner, TWidgetFactory factory);
  void TextChanged() override;
};

class TButton : public TButtonControl {
 public:
  explicit TButton(TComponent* AOwner);
  // Clicking sets the form's ModalResult to this value (when not mrNone).
  TModalResult ModalResult() const;
  void SetModalResult(TModalResult r);
  // Enter presses the default button of the form, Esc its cancel button.
  bool Default() const;
  void SetDefault(bool v);
  bool Cancel() const;
  void SetCancel(bool v);
  void Click() override;
  bool DialogKey(uint16_t Key, TShiftState Shift) override;

 private:
  TModalResult modalResult_ = mrNone;
  bool default_ = false, cancel_ = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TButtonControl {
 public:
  explicit TCheckBox(TComponent* AOwner);
  // Setting Checked or State runs OnClick when the state changes, as in the class library.
  bool Checked() const;
  void SetChecked(bool v);
  TCheckBoxState State() const;
  void SetState(TCheckBoxState s);
  bool AllowGrayed() const;
  void SetAllowGrayed(bool v);
  // taRightJustify (default): the text right of the box; taLeftJustify: left of it.
  TAlignment Alignment() const;
  void SetAlignment(TAlignment a);
  bool WordWrap() const;
  void SetWordWrap(bool v);
  // For the layer: the user toggled the box.
  void Toggle();

 protected:
  TCheckBox(TComponent* AOwner, TWidgetFactory factory);
  void ColorChanged() override;

 private:
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  TAlignment alignment_ = taRightJustify;
};

class TRadioButton : public TButtonControl {
 public:
  explicit TRadioButton(TComponent* AOwner);
  // Checking a radio button unchecks its siblings and runs OnClick.
  bool Checked() const;
  void SetChecked(bool v);
  TAlignment Alignment() const;
  void SetAlignment(TAlignment a);
  bool WordWrap() const;
  void SetWordWrap(bool v);

 protected:
  void ColorChanged() override;

 private:
  bool checked_ = false;
};

// ===========================================================================
// Combo boxes
// ===========================================================================
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox : public TWinControl {
 public:
  ~TCustomComboBox() override;
  TStrings* Items() const;
  void SetItems(const TStrings* items);
  // The selected item; setting it runs no event (as in the class library).
  int ItemIndex() const;
  void SetItemIndex(int index);
  TComboBoxStyle Style() const;
  void SetStyle(TComboBoxStyle style);
  int DropDownCount() const;
  void SetDropDownCount(int n);
  // Items stay sorted (without case).
  bool Sorted() const;
  void SetSorted(bool v);
  int MaxLength() const;
  void SetMaxLength(int v);
  bool DroppedDown() const;
  void SetDroppedDown(bool v);
  int ItemHeight() const;
  void SetItemHeight(int v);
  void Clear();
  void SelectAll();
  int ItemCount() const;

  // The edit text changed (typing or choosing an item).
  TNotifyEvent OnChange;
  // An item was chosen in the list (OnClick fires too).
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;

  // For the layer.
  virtual void Change();
  virtual void Select();

 protected:
  TCustomComboBox(TComponent* AOwner, TWidgetFactory factory);
  std::string GetText() const override;
  void TextChanged() override;
  void ColorChanged() override;

 private:
  std::unique_ptr<TStrings> items_;
  TComboBoxStyle style_ = csDropDown;
  bool sorted_ = false;
  int itemHeight_ = 16;
};

class TComboBox : public TCustomComboBox {
 public:
  explicit TComboBox(TComponent* AOwner);
};

// ===========================================================================
// List boxes
// ===========================================================================
enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable, lbVirtual, lbVirtualOwnerDraw };

using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

struct TListBoxData;

class TCustomListBox : public TWinControl {
 public:
  ~TCustomListBox() override;
  TStrings* Items() const;
  void SetItems(const TStrings* items);
  int Count() const;
  void Clear();
  // The focused item (the selected one of a single-select list); -1 when none.
  // Setting it runs no event.
  int ItemIndex() const;
  void SetItemIndex(int index);
  bool Selected(int index) const;
  void SetSelected(int index, bool selected);
  int SelCount() const;
  void SelectAll();
  void ClearSelection();
  void DeleteSelected();
  bool MultiSelect() const;
  void SetMultiSelect(bool v);
  // With MultiSelect: Shift and Ctrl extend the selection (else every click toggles).
  bool ExtendedSelect() const;
  void SetExtendedSelect(bool v);
  int TopIndex() const;
  void SetTopIndex(int index);
  int ItemHeight() const;
  void SetItemHeight(int h);
  // The item at a client position; with Existing, -1 below the last item, otherwise Count.
  int ItemAtPos(const TPoint& pos, bool Existing) const;
  // The client rectangle of an item (also of items scrolled out of view).
  TRect ItemRect(int index) const;
  TListBoxStyle Style() const;
  void SetStyle(TListBoxStyle style);
  bool Sorted() const;
  void SetSorted(bool v);
  // Items laid out in this many columns (0: one column, scrolled vertically).
  int Columns() const;
  void SetColumns(int n);
  // The width in pixels the horizontal scroll bar can reach (0: none).
  int ScrollWidth() const;
  void SetScrollWidth(int w);
  bool IntegralHeight() const;
  void SetIntegralHeight(bool v);
  TBorderStyle BorderStyle() const;
  void SetBorderStyle(TBorderStyle s);
  // The canvas owner-drawn items are drawn on (valid inside OnDrawItem).
  TCanvas* Canvas() const;

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

  // For the layer.
  TListBoxData* Data() const { return data_.get(); }
  // Draws one item into the list's canvas (the default when OnDrawItem is not set).
  virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);

 protected:
  TCustomListBox(TComponent* AOwner, TWidgetFactory factory);
  void FontChanged() override;
  void ColorChanged() override;

 private:
  std::unique_ptr<TListBoxData> data_;
  std::unique_ptr<TStrings> items_;
};

class TListBox : public TCustomListBox {
 public:
  explicit TListBox(TComponent* AOwner);
};

// ===========================================================================
// Group boxes
// ===========================================================================
class TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* AOwner);
  TRect AlignClientRect() const override;

 protected:
  TGroupBox(TComponent* AOwner, TWidgetFactory factory);
  void TextChanged() override;
};
