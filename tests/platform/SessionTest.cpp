// The end of the desktop session as the program sees it: SIGTERM and SIGHUP reach the
// installed handler on the GUI thread through the event loop, and without a handler they
// end the process as they do by default.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "GuiTestSupport.h"
#include "platform/QtApplication.h"
#include "platform/gui/Dialogs.h"

namespace {

using Session = GuiTest;

std::vector<TSessionRequest> Pump(const std::vector<TSessionRequest>& log, size_t wanted) {
  for (int i = 0; i < 200 && log.size() < wanted; ++i) {
    Application->ProcessMessages();
    usleep(1000);
  }
  return log;
}

TEST_F(Session, EndingSignalsReachTheHandlerThroughTheEventLoop) {
  std::vector<TSessionRequest> log;
  SetSessionHandler([&log](TSessionRequest request) { log.push_back(request); });
  ASSERT_EQ(raise(SIGTERM), 0);
  // Nothing runs inside the signal; the request waits for the event loop.
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(Pump(log, 1), std::vector<TSessionRequest>{TSessionRequest::EndSession});
  ASSERT_EQ(raise(SIGHUP), 0);
  EXPECT_EQ(Pump(log, 2).size(), 2u);
  EXPECT_EQ(log.back(), TSessionRequest::EndSession);
  // A handler that ends the program ends the toolkit's dialog that runs too (its own loop
  // kept the program waiting), and a program that is ending shows no other.
  SetSessionHandler([](TSessionRequest) { Application->Terminate(); });
  ModalResponder::SetScripted(false);
  TOpenDialog open(nullptr);
  bool ended = false, shownWhileEnding = false;
  GuiTesting::WhileToolkitDialogShows([&] { EXPECT_FALSE(open.Execute()); }, [&] {
    raise(SIGTERM);
    ended = GuiTesting::WaitUntil([] { return !GuiTesting::ToolkitDialogShows(); }, 5000);
  });
  GuiTesting::WhileToolkitDialogShows([&] { open.Execute(); }, [&] { shownWhileEnding = true; });
  EXPECT_TRUE(ended);
  EXPECT_FALSE(shownWhileEnding);
  Application->ResetTerminated();
  SetSessionHandler(nullptr);
}

TEST_F(Session, WithoutAHandlerSigtermEndsTheProcess) {
  std::vector<TSessionRequest> log;
  SetSessionHandler([&log](TSessionRequest request) { log.push_back(request); });
  SetSessionHandler(nullptr);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    raise(SIGTERM);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_TRUE(Pump(log, 1).empty());
}

}  // namespace
