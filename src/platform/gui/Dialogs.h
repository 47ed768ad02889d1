#pragma once
// Message dialogs, input queries, the folder browser and the common dialogs (open,
// save, colour, font, printer). Every one of them goes through the modal responder
// (gui/ModalResponder.h), so tests answer them from a script.
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/ModalResponder.h"

class TFont;
class TStrings;

// A message box for Msg with the icon and caption of DlgType and the buttons asked for;
// returns the modal result of the button pressed (mrYes, mrNo, mrOk, mrCancel ...).
int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx);
// The same at a screen position (-1, -1: centred).
int MessageDlgPos(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx, int X, int Y);
// The form of a message dialog, not shown yet; the caller owns it. Its components:
// "Message" (TLabel), "Image" (TImage) and one TButton per button named "Yes", "No", "OK",
// "Cancel", "Abort", "Retry", "Ignore", "All", "NoToAll", "YesToAll", "Help" (FindComponent
// finds them without case), each with its modal result. ShowModal answers from the
// responder as a message dialog.
TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);
// The same with a window title of the caller's, the dialog wide enough to show it whole.
TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           const std::string& Caption);
// The caption the class library gives a dialog type ("Warning", "Error", "Information",
// "Confirm"; the application title for mtCustom), translated.
std::string MessageDialogCaption(TMsgDlgType DlgType);
// A notice with an OK button.
void ShowMessage(const std::string& Msg);
void ShowMessagePos(const std::string& Msg, int X, int Y);
// Asks for a text; Value is the preset and, on OK, the answer.
bool InputQuery(const std::string& ACaption, const std::string& APrompt, std::string& Value);
// The answer, or Default when cancelled.
std::string InputBox(const std::string& ACaption, const std::string& APrompt, const std::string& Default);
// Lets the user pick a folder below Root (empty: anywhere); Directory is the preset and,
// on OK, the choice (without trailing '/').
bool SelectDirectory(const std::string& Caption, const std::string& Root, std::string& Directory);
// A short sound for notices (the class library's MessageBeep).
void MessageBeep(int kind = 0);

// ===========================================================================
// Common dialogs
// ===========================================================================
class TCommonDialog : public TComponent {
 public:
  explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
  // Shows the dialog; true when the user confirmed.
  virtual bool Execute() = 0;
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int v) { helpContext_ = v; }

  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

 private:
  int helpContext_ = 0;
};

enum TOpenOption {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofShowHelp,
  ofNoValidate,
  ofAllowMultiSelect,
  ofExtensionDifferent,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofNoNetworkButton,
  ofNoLongNames,
  ofOldStyleDialog,
  ofNoDereferenceLinks,
  ofEnableIncludeNotify,
  ofEnableSizing,
  ofDontAddToRecent,
  ofForceShowHidden
};
using TOpenOptions = TSetOf<TOpenOption>;

class TOpenDialog : public TCommonDialog {
 public:
  explicit TOpenDialog(TComponent* AOwner);
  ~TOpenDialog() override;
  bool Execute() override;

  std::string FileName() const { return fileName_; }
  void SetFileName(const std::string& v) { fileName_ = v; }
  // Every chosen file (multi-select), full paths.
  TStrings* Files() const;
  // "Description|*.a;*.b|Other|*.c": pairs of description and masks.
  std::string Filter() const { return filter_; }
  void SetFilter(const std::string& v) { filter_ = v; }
  // 1-based index of the filter chosen (and preset).
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int v) { filterIndex_ = v; }
  // Added (without dot) to a typed name that has no extension.
  std::string DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const std::string& v) { defaultExt_ = v; }
  std::string InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& v) { initialDir_ = v; }
  std::string Title() const { return title_; }
  void SetTitle(const std::string& v) { title_ = v; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions v) { options_ = v; }

  // For the layer and tests: the filter as the toolkit writes it ("Desc (*.a *.b)"), one
  // entry per pair.
  std::vector<std::string> ToolkitFilters() const;
  // Adds DefaultExt to name when it has no extension.
  std::string WithDefaultExt(const std::string& name) const;

 protected:
  bool ExecuteAs(ModalKind kind);

 private:
  std::string fileName_, filter_, defaultExt_, initialDir_, title_;
  int filterIndex_ = 1;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
  std::unique_ptr<TStrings> files_;
};

class TSaveDialog : public TOpenDialog {
 public:
  explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}
  bool Execute() override;
};

class TColorDialog : public TCommonDialog {
 public:
  explicit TColorDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
  bool Execute() override;
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }

 private:
  TColor color_ = clBlack;
};

class TFontDialog : public TCommonDialog {
 public:
  explicit TFontDialog(TComponent* AOwner);
  ~TFontDialog() override;
  bool Execute() override;
  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* font);

 private:
  std::unique_ptr<TFont> font_;
};

// The printer dialogs only confirm; the print window draws through the printer service.
class TPrintDialog : public TCommonDialog {
 public:
  explicit TPrintDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
  bool Execute() override;
  int Copies() const { return copies_; }
  void SetCopies(int v) { copies_ = v > 0 ? v : 1; }

 private:
  int copies_ = 1;
};

class TPrinterSetupDialog : public TCommonDialog {
 public:
  explicit TPrinterSetupDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
  bool Execute() override;
};
