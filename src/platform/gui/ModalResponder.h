#pragma once
// The one service every modal interaction goes through: message dialogs, ShowMessage,
// input queries, ShowModal of a form, the file, colour, font and printer dialogs and
// the folder browser. In a real run it lets the toolkit show the dialog. Scripted (under
// test: KIVO2_UNDER_TEST=1, or SetScripted(true)) it answers from expectations that the
// test pushed, in order; a modal call nobody expected is recorded as unanswered, reported
// through the failure hook and answered with mrCancel / false at once, so no test blocks.
//
// The same service tells whether the application is active and how large the screen is.
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/GuiTypes.h"
#include "platform/rtl/Types.h"

class TCustomForm;
class TComponent;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = TSetOf<TMsgDlgBtn>;
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbYesAllNoAllCancel{mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};
inline const TMsgDlgButtons mbAbortIgnore{mbAbort, mbIgnore};

enum class ModalKind {
  Any,  // in an expectation: matches every kind
  MessageDlg,
  ShowMessage,
  InputQuery,
  ShowModal,
  OpenDialog,
  SaveDialog,
  ColorDialog,
  FontDialog,
  PrintDialog,
  PrinterSetupDialog,
  SelectDirectory
};
const char* ModalKindName(ModalKind kind);

// One modal call as the script sees it.
struct ModalRequest {
  ModalKind kind = ModalKind::Any;
  std::string caption;  // window caption or dialog title
  std::string text;     // message or prompt
  TMsgDlgType dlgType = mtCustom;
  TMsgDlgButtons buttons;
  // The form shown modally (also the form of a message dialog): handlers may set its
  // fields, click its buttons (TButton::Click sets ModalResult) or set ModalResult.
  TCustomForm* form = nullptr;
  // The common dialog (TOpenDialog, TColorDialog ...), for handlers that set its fields.
  TComponent* dialog = nullptr;
  // The text answer: the input query's value, the chosen file name or folder.
  std::string* value = nullptr;
  // The chosen files of a multi-select open dialog (one entry unless filled).
  std::vector<std::string>* files = nullptr;
  // The chosen colour of a colour dialog.
  TColor* color = nullptr;
};

// Returns the modal result (message dialogs, ShowModal) or non-zero for "OK" (dialogs
// returning true). For ShowModal, mrNone leaves the ModalResult the handler set on the form.
using ModalHandler = std::function<int(ModalRequest& request)>;

struct ModalRecord {
  ModalKind kind;
  std::string caption;
  std::string text;
  int result;
  bool answered;
};

class ModalResponder {
 public:
  // Scripted answers are used (true under test unless switched off).
  static bool Scripted();
  static void SetScripted(bool on);

  // Expects a modal call of that kind with a fixed answer. value, when not empty, becomes
  // the text answer (input value, file name, folder) of a positive answer.
  static void Expect(ModalKind kind, int answer, const std::string& value = std::string());
  // Expects a modal call of that kind answered by handler.
  static void Expect(ModalKind kind, ModalHandler handler);
  // Expectations not used yet.
  static int Pending();
  // Modal calls that found no (matching) expectation since the last Reset.
  static int Unanswered();
  static std::vector<std::string> UnansweredMessages();
  // Every modal call answered or refused since the last Reset, in order.
  static std::vector<ModalRecord> History();
  // Clears expectations, the unanswered count, the history, the environment overrides and
  // the switch of SetScripted.
  static void Reset();

  // Called with a description of every unanswered call (tests raise a failure from it).
  using FailureHook = std::function<void(const std::string& message)>;
  static void SetFailureHook(FailureHook hook);

  // --- environment ---
  static bool ApplicationActive();
  static void SetApplicationActive(bool active);
  static TSize ScreenSize();
  static void SetScreenSize(int width, int height);

  // For the layer: answers request from the script. Returns false when not scripted
  // (the caller shows the real dialog); otherwise result holds the answer.
  static bool Answer(ModalRequest& request, int& result);
};
