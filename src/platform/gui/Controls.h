#pragma once
// The class library's control classes: TControl (every visual component),
// TWinControl (controls that hold other controls and take the keyboard focus),
// TGraphicControl and TCustomControl (controls that paint themselves through a
// canvas), and the mouse object.
//
// Every control owns one window of the toolkit underneath; it is made by the
// constructor, moved along when Parent changes and destroyed with the control.
// Freeing a windowed control frees the controls it holds (as the class library does);
// the owner (TComponent) frees what it owns.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/GuiTypes.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Types.h"

class TCanvas;
class TFont;
class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;

// Inside the layer (gui/GuiInternal.h): the window and the state the toolkit needs.
struct TControlPrivate;

// What the drag source hands to the targets when OnStartDrag gives no object of its own.
class TDragObject : public TObject {
 public:
  ~TDragObject() override = default;
};

// ---------------------------------------------------------------------------
// Event types (Sender first, then the class library's arguments)
// ---------------------------------------------------------------------------
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent =
    std::function<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TStartDragEvent = std::function<void(TObject* Sender, TDragObject*& DragObject)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

// Size limits of a control; 0 means no limit.
class TSizeConstraints : public TPersistent {
 public:
  int MinWidth() const { return minWidth_; }
  int MinHeight() const { return minHeight_; }
  int MaxWidth() const { return maxWidth_; }
  int MaxHeight() const { return maxHeight_; }
  void SetMinWidth(int v);
  void SetMinHeight(int v);
  void SetMaxWidth(int v);
  void SetMaxHeight(int v);
  void Assign(TPersistent* source) override;
  // Clamps a width or height to the limits.
  int ClampWidth(int w) const;
  int ClampHeight(int h) const;

  TNotifyEvent OnChange;

 private:
  void changed();
  int minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
};

// Makes the toolkit window of a control; called by the constructor of each control class.
using TWidgetFactory = void (*)(TControl* control);

// ===========================================================================
// TControl
// ===========================================================================
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // --- place in the window hierarchy ---
  TWinControl* Parent() const;
  virtual void SetParent(TWinControl* parent);
  // The form the control sits on (nullptr when it has no parent chain to a form).
  TCustomForm* ParentForm() const;

  // --- bounds (relative to the parent's client area) ---
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int v);
  void SetTop(int v);
  void SetWidth(int v);
  void SetHeight(int v);
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const;
  void SetBoundsRect(const TRect& r);
  virtual int ClientWidth() const;
  virtual int ClientHeight() const;
  virtual void SetClientWidth(int v);
  virtual void SetClientHeight(int v);
  TRect ClientRect() const;
  // The screen position of the client area's top-left corner.
  TPoint ClientOrigin() const;
  TPoint ClientToScreen(const TPoint& p) const;
  TPoint ScreenToClient(const TPoint& p) const;

  TAlign Align() const;
  void SetAlign(TAlign align);
  TAnchors Anchors() const;
  void SetAnchors(TAnchors anchors);
  // The limits of the size; a form's limit the whole window, its frame included, and the
  // window system keeps the user's resizing within them.
  TSizeConstraints* Constraints() const;

  // --- state ---
  bool Visible() const;
  virtual void SetVisible(bool visible);
  void Show();
  void Hide();
  // Visible and every parent visible up to a shown form.
  bool Showing() const;
  bool Enabled() const;
  virtual void SetEnabled(bool enabled);

  // Caption and Text are one property of the class library (the control's text).
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& s) { SetText(s); }
  std::string Text() const { return GetText(); }
  void SetText(const std::string& s);

  std::string Hint() const;
  void SetHint(const std::string& hint);
  bool ShowHint() const;
  void SetShowHint(bool show);
  bool ParentShowHint() const;
  void SetParentShowHint(bool v);

  TColor Color() const;
  void SetColor(TColor color);
  bool ParentColor() const;
  void SetParentColor(bool v);
  TFont* Font() const;
  void SetFont(const TFont* font);  // copies the font
  bool ParentFont() const;
  void SetParentFont(bool v);

  TCursor Cursor() const;
  void SetCursor(TCursor cursor);
  TPopupMenu* PopupMenu() const;
  void SetPopupMenu(TPopupMenu* menu);

  // --- painting ---
  // Repaint paints at once, Invalidate (and Refresh) later; Update paints what is pending.
  void Repaint();
  void Invalidate();
  void Refresh() { Repaint(); }
  void Update();

  // --- z-order among the siblings (also the order of the parent's Controls list) ---
  void BringToFront();
  void SendToBack();

  // --- drag and drop between controls of the program ---
  TDragMode DragMode() const;
  void SetDragMode(TDragMode mode);
  TCursor DragCursor() const;
  void SetDragCursor(TCursor cursor);
  // Starts dragging: at once, or once the mouse moved Threshold pixels (-1: the default, 5).
  void BeginDrag(bool Immediate, int Threshold = -1);
  // Ends dragging, dropping on the control under the mouse when Drop and it accepts.
  void EndDrag(bool Drop);
  bool Dragging() const;

  bool MouseCapture() const;
  void SetMouseCapture(bool capture);

  // Runs the control's click (as a mouse click would): OnClick and what the class adds.
  virtual void Click();

  // The room, in pixels, that the control's own text (caption, title, label) needs to be
  // read whole, and the room the control gives it; false when it shows no text of its
  // own. A window check uses it to find texts that are cut.
  virtual bool TextRoom(TSize& needed, TSize& room) const;

  // --- events ---
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TMouseWheelEvent OnMouseWheel;
  TMouseWheelUpDownEvent OnMouseWheelDown;
  TMouseWheelUpDownEvent OnMouseWheelUp;
  TNotifyEvent OnResize;
  TStartDragEvent OnStartDrag;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;
  TContextPopupEvent OnContextPopup;

  // For the layer: the toolkit state of the control (opaque outside src/platform).
  TControlPrivate* Private() const { return d_.get(); }

  // --- the class library's dynamic methods, overridable by derived controls; the
  // defaults fire the events. Public so that the layer can call them. ---
  virtual void DblClick();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseEnter();
  virtual void MouseLeave();
  // Returns true when handled (OnMouseWheel, then OnMouseWheelDown/Up).
  virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
  virtual void Resize();
  virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, int X, int Y);
  virtual void DoStartDrag(TDragObject*& DragObject);
  virtual void DoEndDrag(TObject* Target, int X, int Y);
  virtual void DoContextPopup(TPoint MousePos, bool& Handled);
  // The parent's font, colour or hint setting changed.
  virtual void ParentChanged();
  // Alt+Key was pressed in the control's form: a control whose caption has Key as its
  // accelerator acts on it and returns true. The layer asks the visible and enabled
  // controls of the form in turn until one takes the key. The default takes none.
  virtual bool DialogChar(char Key);

 protected:
  TControl(TComponent* AOwner, TWidgetFactory factory);
  virtual std::string GetText() const;
  // The text was changed (by SetText or by the user).
  virtual void TextChanged();
  // The font or colour changed; the layer applies it to the window.
  virtual void FontChanged();
  virtual void ColorChanged();
  // Stops the window from reporting events back (first step of every destructor).
  void DetachEvents();
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TWinControl;
  std::unique_ptr<TControlPrivate> d_;
};

// ===========================================================================
// TWinControl
// ===========================================================================
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  int ControlCount() const;
  TControl* Controls(int index) const;
  // The control with this component name among the children (not nested), or nullptr.
  TControl* FindChildControl(const std::string& name) const;
  bool ContainsControl(const TControl* control) const;

  void SetFocus();
  bool Focused() const;
  bool CanFocus() const;
  bool TabStop() const;
  void SetTabStop(bool v);
  int TabOrder() const;
  void SetTabOrder(int order);
  bool DoubleBuffered() const;
  void SetDoubleBuffered(bool v);

  // Lays out the aligned children again (the layer does this on every resize).
  void Realign();
  void DisableAlign();
  void EnableAlign();

  // --- key and focus events ---
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void DoEnter();
  virtual void DoExit();
  // Enter or Esc was pressed in the form and the focused control does not use it: a
  // default (Enter) or cancel (Esc) button clicks itself and returns true. The layer asks
  // every visible and enabled windowed control of the form until one takes the key. The
  // default takes none.
  virtual bool DialogKey(uint16_t Key, TShiftState Shift);

  // The client area for aligned children (the class library's AdjustClientRect).
  virtual TRect AlignClientRect() const;
  // Places the aligned and anchored children inside AlignClientRect.
  virtual void AlignControls();

 protected:
  TWinControl(TComponent* AOwner, TWidgetFactory factory);
  // A child arrived (opInsert) or left (opRemove).
  virtual void ControlListChanged(TControl* control, bool inserted);

 private:
  friend class TControl;
};

// ===========================================================================
// Self-painting controls
// ===========================================================================
// A control without a window of its own in the class library (labels, images,
// speed buttons); here it is a light window that never takes the focus.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  // The canvas to draw on; inside Paint it draws on the screen.
  TCanvas* Canvas() const;
  // Opaque controls paint their whole area; others let the parent show through.
  bool Opaque() const;
  void SetOpaque(bool v);

 protected:
  TGraphicControl(TComponent* AOwner, TWidgetFactory factory);
  friend struct TControlPrivate;
  virtual void Paint();
};

// A windowed control that paints itself (glyph buttons, the chart, panels of the program).
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() const;

  TNotifyEvent OnPaint;

 protected:
  TCustomControl(TComponent* AOwner, TWidgetFactory factory);
  friend struct TControlPrivate;
  // The default fires OnPaint.
  virtual void Paint();
};

// ===========================================================================
// The mouse
// ===========================================================================
class TMouse {
 public:
  TPoint CursorPos() const;
  void SetCursorPos(const TPoint& p);
  // The control that captured the mouse (nullptr when none).
  TControl* Capture() const;
  void SetCapture(TControl* control);
  bool MousePresent() const { return true; }
  int WheelScrollLines() const;
};
extern TMouse* Mouse;

// Releases the mouse capture (the class library's ReleaseCapture).
void ReleaseCapture();

// Menu shortcuts: ShortCut(VK_F3, {}), ShortCut('O', ssCtrl); "Ctrl+O", "Ctrl+Alt+F6", "F1", "Del".
TShortCut ShortCut(uint16_t Key, TShiftState Shift);
void ShortCutToKey(TShortCut shortCut, uint16_t& Key, TShiftState& Shift);
// The English text of a shortcut ("Ctrl+Shift+A", "F8", "Del", "Num +"); "" for 0.
std::string ShortCutToText(TShortCut shortCut);
// Reads the texts ShortCutToText writes (without case, "Ctl"/"Control" for Ctrl); 0 when unknown.
TShortCut TextToShortCut(const std::string& text);

// Makes room for the texts that their controls cut (see TControl::TextRoom), through root
// and every control on it: a control aligned left or right (a bar's button) grows to its
// text, and a group of such controls in a bar grows to hold them; a control placed by
// hand grows and pushes the controls right of it in its row along, as far as the client
// area of its parent has room.
void FitControlsToText(TWinControl* root);

// The form a control sits on, as the class library's GetParentForm.
TCustomForm* GetParentForm(const TControl* control);
// Finds the control at a screen position (the deepest one), or nullptr.
TControl* FindDragTarget(const TPoint& screenPos, bool allowDisabled);
// The keys (ssCtrl, ssShift, ssAlt) held when the last drag between controls was dropped,
// read from the mouse event that dropped it; a target's DragDrop asks it to tell a copy
// from a move by the keys of this drop.
TShiftState DropShiftState();
