#pragma once
// Forms (windows), the scroll box, the application object and the screen.
//
// A form class builds its components in its constructor (what a form resource held in
// the class library), binds their events to its handlers and ends the constructor with
// DoCreate(), which runs OnCreate once. Application->CreateForm also calls it.
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/gui/Controls.h"

class TMainMenu;
class TBitmap;
class TIcon;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSetOf<TBorderIcon>;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// ===========================================================================
// Forms
// ===========================================================================
class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  // Shows the form and makes it the active window.
  void Show();
  // Shows the form without taking the focus from the active window (tool windows such
  // as the thumbnail preview).
  void ShowNoActivate();
  // Shows the form modally and returns its ModalResult. Under test the modal responder
  // answers instead of the user.
  virtual int ShowModal();
  // Asks to close (OnCloseQuery, OnClose with its action). A modal form gets mrCancel.
  void Close();
  // Frees the form once the events being handled are done.
  void Release();
  // Runs OnCloseQuery; true when the form may close.
  virtual bool CloseQuery();
  // Runs OnCreate the first time it is called (the end of a form's constructor).
  void DoCreate();

  TModalResult ModalResult() const;
  void SetModalResult(TModalResult result);
  // True while ShowModal runs for this form.
  bool Modal() const;
  // The form is the active window.
  bool Active() const;

  TFormStyle FormStyle() const;
  void SetFormStyle(TFormStyle style);
  TBorderStyle BorderStyle() const;
  void SetBorderStyle(TBorderStyle style);
  TBorderIcons BorderIcons() const;
  void SetBorderIcons(TBorderIcons icons);
  TWindowState WindowState() const;
  void SetWindowState(TWindowState state);
  // Covers the whole screen without frame (or returns to the previous state).
  bool FullScreen() const;
  void SetFullScreen(bool on);
  TPosition Position() const;
  void SetPosition(TPosition position);
  // What the window system's frame adds to the width and height of the window (Width and
  // Height are those of the window's inside); 0 while that frame is not known.
  TSize FrameExtra() const;
  // Places the window with its frame on the rectangle (the frame's outer edge).
  void SetFrameBounds(const TRect& outer);
  // The window this one stays above (the window system keeps it in front of that
  // window, and on top of everything when that window stays on top). ShowModal uses
  // the window that asked for it (the running modal window, else the active one, else
  // the main window) when none is set.
  TCustomForm* PopupParent() const;
  void SetPopupParent(TCustomForm* parent);
  // The window stays on top: its own style, or it stands in front of a window that does.
  bool StaysOnTop() const;
  TMainMenu* Menu() const;
  void SetMenu(TMainMenu* menu);
  TWinControl* ActiveControl() const;
  void SetActiveControl(TWinControl* control);
  bool AutoSize() const;
  void SetAutoSize(bool v);
  // The form sees key events before the focused control.
  bool KeyPreview() const;
  void SetKeyPreview(bool v);
  // Lets the window system move the window with the mouse (dragging a borderless window).
  void StartSystemMove();
  // Puts the window in front of the others again (a window that stays on top in front of
  // every window) without moving, sizing or activating it.
  void RaiseWithoutActivating();
  // With AlphaBlend the window is drawn translucent, AlphaBlendValue 0 (invisible) to
  // 255 (opaque); the window system needs a compositor to show it.
  bool AlphaBlend() const;
  void SetAlphaBlend(bool on);
  uint8_t AlphaBlendValue() const;
  void SetAlphaBlendValue(uint8_t value);
  // The form's own icon (nullptr: the application's).
  void SetIcon(const TIcon* icon);
  // The title as the window manager shows it (the caption and the program's name) beside
  // its icon and buttons; a window without title bar has none.
  bool TextRoom(TSize& needed, TSize& room) const override;
  // Canvas of the client area, to draw on in OnPaint.
  TCanvas* Canvas() const;

  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetClientWidth(int v) override;
  void SetClientHeight(int v) override;
  void SetVisible(bool visible) override;

  // For the layer: runs the close sequence of a modal form after ModalResult was set;
  // returns false when OnCloseQuery or OnClose kept the form open.
  bool CloseModal();
  // For the layer: the window system activated or deactivated the form.
  void Activate();
  void Deactivate();
  // For the layer: a menu shortcut of the form's menus for this key; fires it and
  // returns true when one was found.
  bool IsShortCut(uint16_t Key, TShiftState Shift);

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;

  // For the layer: the window became visible or was hidden; runs OnShow / OnHide.
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& Action);
  virtual void Paint();
  // For the layer: marks the form as a message dialog (ShowModal answers as MessageDlg).
  void SetMessageDialogInfo(const std::string& text, int dlgType, uint64_t buttons);
  // For the layer: lays out the menu bar and the client area.
  void LayoutWindow();
  // For the layer: the window system moved the window; the first time after a showing
  // that it has framed the window, the window is kept inside the work area again (the
  // frame's size was not known before).
  void WindowMoved();

  // For the layer: stops events and runs OnDestroy (the application calls it before
  // freeing its forms; the destructor calls it too).
  void BeforeDestruction();

 protected:
  void TextChanged() override;
  void Notification(TComponent* component, TOperation operation) override;
  friend class TApplication;

 private:
  int showModalScripted();
  int showModalReal();
  void applyWindowFlags();
  void applyPosition();
  void applyTransientParent();
  // A normal window opens with the whole of it inside the work area (the screen without
  // the desktop's panels).
  void keepInWorkArea();
  void applyOpacity();
  // Gives the window system the limits of Constraints, less the frame, for the inside.
  void applySizeLimits();
  struct Data;
  std::unique_ptr<Data> data_;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
};

// ===========================================================================
// Scroll boxes
// ===========================================================================
enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollBarStyle { ssRegular, ssFlat, ssHotTrack };

class TScrollingWinControl;

class TControlScrollBar : public TPersistent {
 public:
  TControlScrollBar(TScrollingWinControl* control, TScrollBarKind kind);
  TScrollBarKind Kind() const { return kind_; }
  int Position() const;
  void SetPosition(int v);
  // The virtual extent of the contents (pixels).
  int Range() const;
  void SetRange(int v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  bool Tracking() const { return tracking_; }
  void SetTracking(bool v) { tracking_ = v; }
  int Increment() const { return increment_; }
  void SetIncrement(int v) { increment_ = v > 0 ? v : 1; }
  int Margin() const { return margin_; }
  void SetMargin(int v) { margin_ = v; }
  TScrollBarStyle Style() const { return style_; }
  void SetStyle(TScrollBarStyle s) { style_ = s; }
  // The bar is shown (Visible and the range exceeds the client size).
  bool IsScrollBarVisible() const;
  // The size of the client area the bar scrolls over.
  int ControlSize() const;
  void Assign(TPersistent* source) override;

 private:
  friend class TScrollingWinControl;
  TScrollingWinControl* control_;
  TScrollBarKind kind_;
  int position_ = 0;
  int range_ = 0;
  bool visible_ = true;
  bool tracking_ = false;
  int increment_ = 8;
  int margin_ = 0;
  TScrollBarStyle style_ = ssRegular;
};

// A windowed control that scrolls its children as the class library does: scrolling
// moves the child controls (their Left and Top change), and with AutoScroll the range
// follows the children's extent.
class TScrollingWinControl : public TWinControl {
 public:
  explicit TScrollingWinControl(TComponent* AOwner);
  ~TScrollingWinControl() override;
  TControlScrollBar* HorzScrollBar() const;
  TControlScrollBar* VertScrollBar() const;
  bool AutoScroll() const;
  void SetAutoScroll(bool v);
  // Scrolls so that the control is fully visible.
  void ScrollInView(TControl* control);
  // Moves every child by dx, dy (the class library's ScrollBy).
  void ScrollBy(int dx, int dy);

  int ClientWidth() const override;
  int ClientHeight() const override;
  void AlignControls() override;
  TRect AlignClientRect() const override;

  // For the layer: recomputes ranges and shows or hides the bars.
  void UpdateScrollBars();
  // For the layer: the user scrolled with a bar (the wheel does not scroll, as in the
  // class library); the default does nothing.
  virtual void DoScroll(TScrollBarKind Kind);

 protected:
  TScrollingWinControl(TComponent* AOwner, TWidgetFactory factory);
  void ControlListChanged(TControl* control, bool inserted) override;

 private:
  friend class TControlScrollBar;
  std::unique_ptr<TControlScrollBar> horz_, vert_;
  bool autoScroll_ = true;
  bool updatingBars_ = false;
};

class TScrollBox : public TScrollingWinControl {
 public:
  explicit TScrollBox(TComponent* AOwner);
  TBorderStyle BorderStyle() const;
  void SetBorderStyle(TBorderStyle s);  // bsNone or bsSingle
};

// ===========================================================================
// The application object
// ===========================================================================
// A window message as the program's message hook sees it. On Linux only the
// layer's own notifications arrive here (such as a screen saver request).
struct TMsg {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uintptr_t SC_SCREENSAVE = 0xF140, SC_MONITORPOWER = 0xF170, SC_SIZE = 0xF000, SC_MOVE = 0xF010;

using TMessageEvent = std::function<void(TMsg& Msg, bool& Handled)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;

// Flags of Application->MessageBox (as the Windows call takes them) and its results.
constexpr int MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
              MB_RETRYCANCEL = 0x5, MB_ICONHAND = 0x10, MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20,
              MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30, MB_ICONASTERISK = 0x40,
              MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // Creates the toolkit's application object.
  void Initialize();
  std::string Title() const;
  void SetTitle(const std::string& title);

  // Creates a form owned by the application; reference is set before the form's
  // constructor runs (as the class library does), the first form becomes MainForm.
  template <class T>
  void CreateForm(T*& reference) {
    void* memory = ::operator new(sizeof(T));
    reference = static_cast<T*>(memory);
    try {
      new (memory) T(this);
    } catch (...) {
      reference = nullptr;
      ::operator delete(memory);
      throw;
    }
    FormCreated(reference);
  }

  TCustomForm* MainForm() const;
  // Shows the main form and runs the event loop until the main form closes or
  // Terminate is called.
  void Run();
  void Terminate();
  bool Terminated() const;
  // Handles every pending event, then returns.
  void ProcessMessages();
  // Waits for one event and handles it (and idle processing).
  void HandleMessage();
  // Passes a message to OnMessage; true when the hook handled it.
  bool DeliverMessage(TMsg& msg);

  // The application has the focus (from the environment service; true under test).
  bool Active() const;
  std::string HelpFile() const;
  void SetHelpFile(const std::string& file);
  // The program file's full path.
  std::string ExeName() const;
  // The application icon (all windows without an icon of their own use it).
  TIcon* Icon() const;
  void SetIcon(const TIcon* icon);
  bool ShowHint() const;
  void SetShowHint(bool v);
  void CancelHint();
  void BringToFront();
  void Minimize();
  void Restore();
  // A message box with the Windows flags (MB_OK, MB_YESNO, MB_ICONxxx ...); returns IDOK...
  int MessageBox(const std::string& text, const std::string& caption, int flags);
  // Shows an exception that escaped an event handler (OnException when set).
  void HandleException(TObject* Sender, const std::exception& e);
  void ShowException(const std::exception& e);

  TMessageEvent OnMessage;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TIdleEvent OnIdle;
  TExceptionEvent OnException;

  // For the layer.
  void FormCreated(TCustomForm* form);
  void SetActiveState(bool active);
  // After DoneApplication the application can run again (tests run several programs).
  void ResetTerminated();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
extern TApplication* Application;

// Frees every form the application owns (the last created first) while the rest of the
// program is still alive; call it when Run has returned. The application object can then
// create forms and run again.
void DoneApplication();

// ===========================================================================
// The screen
// ===========================================================================
class TScreen : public TComponent {
 public:
  TScreen();
  ~TScreen() override;

  // The cursor shown over every window of the program (crDefault: each control's own).
  TCursor Cursor() const;
  void SetCursor(TCursor cursor);
  // Registers a custom cursor under index (positive numbers) from a picture; a hot
  // spot of -1 takes the middle.
  void SetCursors(int index, const TBitmap& image, int hotX = -1, int hotY = -1);
  // The same from a picture file (PNG, BMP, ICO, CUR); false when it cannot be read.
  bool LoadCursorFromFile(int index, const std::string& fileName, int hotX = -1, int hotY = -1);
  bool HasCursor(int index) const;

  // Screen size (from the environment service: 1920 x 1080 under test).
  int Width() const;
  int Height() const;
  // The desktop without panels and task bars.
  TRect WorkAreaRect() const;
  int WorkAreaWidth() const { return WorkAreaRect().Width(); }
  int WorkAreaHeight() const { return WorkAreaRect().Height(); }
  int PixelsPerInch() const;

  int FormCount() const;
  TCustomForm* Forms(int index) const;
  TCustomForm* ActiveForm() const;
  TWinControl* ActiveControl() const;

  // For the layer.
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
extern TScreen* Screen;
