// The modal responder: scripted answers under test, the environment (application
// active, screen size) everywhere.
#include "platform/gui/ModalResponder.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <optional>

#include "platform/QtApplication.h"

namespace {

struct Expectation {
  ModalKind kind;
  int answer = 0;
  std::string value;
  ModalHandler handler;
};

struct State {
  std::optional<bool> scripted;
  std::deque<Expectation> expectations;
  int unanswered = 0;
  std::vector<std::string> unansweredMessages;
  std::vector<ModalRecord> history;
  ModalResponder::FailureHook hook;
  std::optional<bool> active;
  std::optional<TSize> screen;
};

State& S() {
  static State state;
  return state;
}

bool UnderTest() {
  const char* v = getenv("KIVO2_UNDER_TEST");
  return v && *v && strcmp(v, "0") != 0;
}

void Fail(const std::string& message) {
  State& s = S();
  ++s.unanswered;
  s.unansweredMessages.push_back(message);
  if (s.hook)
    s.hook(message);
  else
    std::cerr << "kivo2: " << message << std::endl;
}

}  // namespace

const char* ModalKindName(ModalKind kind) {
  switch (kind) {
    case ModalKind::Any: return "Any";
    case ModalKind::MessageDlg: return "MessageDlg";
    case ModalKind::ShowMessage: return "ShowMessage";
    case ModalKind::InputQuery: return "InputQuery";
    case ModalKind::ShowModal: return "ShowModal";
    case ModalKind::OpenDialog: return "OpenDialog";
    case ModalKind::SaveDialog: return "SaveDialog";
    case ModalKind::ColorDialog: return "ColorDialog";
    case ModalKind::FontDialog: return "FontDialog";
    case ModalKind::PrintDialog: return "PrintDialog";
    case ModalKind::PrinterSetupDialog: return "PrinterSetupDialog";
    case ModalKind::SelectDirectory: return "SelectDirectory";
  }
  return "?";
}

bool ModalResponder::Scripted() {
  State& s = S();
  return s.scripted ? *s.scripted : UnderTest();
}
void ModalResponder::SetScripted(bool on) { S().scripted = on; }

void ModalResponder::Expect(ModalKind kind, int answer, const std::string& value) {
  S().expectations.push_back(Expectation{kind, answer, value, nullptr});
}
void ModalResponder::Expect(ModalKind kind, ModalHandler handler) {
  S().expectations.push_back(Expectation{kind, 0, std::string(), std::move(handler)});
}
int ModalResponder::Pending() { return int(S().expectations.size()); }
int ModalResponder::Unanswered() { return S().unanswered; }
std::vector<std::string> ModalResponder::UnansweredMessages() { return S().unansweredMessages; }
std::vector<ModalRecord> ModalResponder::History() { return S().history; }

void ModalResponder::Reset() {
  State& s = S();
  s.expectations.clear();
  s.unanswered = 0;
  s.unansweredMessages.clear();
  s.history.clear();
  s.scripted.reset();
  s.active.reset();
  s.screen.reset();
}

void ModalResponder::SetFailureHook(FailureHook hook) { S().hook = std::move(hook); }

bool ModalResponder::ApplicationActive() {
  State& s = S();
  if (s.active) return *s.active;
  if (Scripted()) return true;
  if (!QCoreApplication::instance()) return false;
  return QGuiApplication::applicationState() == Qt::ApplicationActive;
}
void ModalResponder::SetApplicationActive(bool active) { S().active = active; }

TSize ModalResponder::ScreenSize() {
  State& s = S();
  if (s.screen) return *s.screen;
  if (Scripted()) return TSize{1920, 1080};
  EnsureQtApplication();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r = screen->geometry();
    return TSize{r.width(), r.height()};
  }
  return TSize{1920, 1080};
}
void ModalResponder::SetScreenSize(int width, int height) { S().screen = TSize{width, height}; }

bool ModalResponder::Answer(ModalRequest& request, int& result) {
  if (!Scripted()) return false;
  State& s = S();
  std::string what = std::string(ModalKindName(request.kind)) + " \"" + request.caption + "\"";
  if (!request.text.empty() && request.text != request.caption) what += ": " + request.text;
  if (s.expectations.empty() ||
      (s.expectations.front().kind != ModalKind::Any && s.expectations.front().kind != request.kind)) {
    std::string msg = "unanswered modal call " + what;
    if (!s.expectations.empty())
      msg += std::string(" (the script expected ") + ModalKindName(s.expectations.front().kind) + ")";
    result = request.kind == ModalKind::ShowModal || request.kind == ModalKind::MessageDlg ? 2 /* mrCancel */ : 0;
    s.history.push_back(ModalRecord{request.kind, request.caption, request.text, result, false});
    Fail(msg);
    return true;
  }
  Expectation e = std::move(s.expectations.front());
  s.expectations.pop_front();
  if (e.handler) {
    result = e.handler(request);
  } else {
    result = e.answer;
    if (result != 0 && !e.value.empty()) {
      if (request.value) *request.value = e.value;
      if (request.files) request.files->assign(1, e.value);
    }
  }
  // A message dialog answers with one of its buttons.
  if (request.kind == ModalKind::MessageDlg && result != 0 && !request.buttons.Empty()) {
    static const int kResults[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0};  // mrYes .. mrYesToAll, Help
    bool ok = false;
    for (int b = 0; b <= int(mbHelp); ++b)
      if (request.buttons.Contains(TMsgDlgBtn(b)) && kResults[b] == result) ok = true;
    if (!ok) {
      s.history.push_back(ModalRecord{request.kind, request.caption, request.text, 2, false});
      Fail("the scripted answer " + std::to_string(result) + " is not a button of " + what);
      result = 2;
      return true;
    }
  }
  s.history.push_back(ModalRecord{request.kind, request.caption, request.text, result, true});
  return true;
}
