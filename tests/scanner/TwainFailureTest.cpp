// Scans that do not end in a picture: no scanner library, no device, the user cancelling in
// the dialog or in the middle of the scan, the device's errors, and a device that disappears
// half way through a page. Each ends with the component's events, no picture and the source
// disabled.
#include "ScannerFixture.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/ModalResponder.h"
#include "platform/gui/StdCtrls.h"
#include "platform/services/ScannerDialogs.h"
#include "scanner/CorvoTwain.h"

namespace {

// Waits until the progress window shows part of the page read; null when it never does.
TTwainProgressForm* ScanUnderWay() {
  TTwainProgressForm* progress = nullptr;
  const bool shown = GuiTesting::WaitUntil(
      [&] {
        progress = ProgressWindow();
        return progress && progress->Visible() && progress->ProgressBar1->Position() > 0;
      },
      30000);
  return shown ? progress : nullptr;
}

}  // namespace

TEST_F(ScannerTest, WithoutTheScannerLibraryLoadingFails) {
  const std::string text = testsupport::TempFile("not-a-library.so", "just text\n");
  for (const std::string& library : {testsupport::TempPath("missing.so"), text, std::string("libz.so.1")}) {
    SCOPED_TRACE(library);
    setenv("KIVO2_SANE_LIBRARY", library.c_str(), 1);
    auto twain = NewTwain();
    EXPECT_FALSE(twain->LoadTwainLibrary());
    EXPECT_FALSE(twain->LibraryLoaded());
    twain->SetSourceManagerLoaded(true);
    EXPECT_FALSE(twain->SourceManagerLoaded());
    EXPECT_EQ(twain->SelectSource(), -1);
    EXPECT_EQ(twain->GetSource(0), nullptr);
  }
}

TEST_F(ScannerTest, NoDeviceSaysSoAndSelectsNothing) {
  const std::string dir = testsupport::TempPath("empty-sane");
  std::filesystem::create_directories(dir);
  testsupport::WriteFile(dir + "/dll.conf", "");
  setenv("SANE_CONFIG_DIR", dir.c_str(), 1);
  auto twain = NewTwain();
  ASSERT_TRUE(twain->LoadTwainLibrary());
  twain->SetSourceManagerLoaded(true);
  EXPECT_EQ(twain->SourceCount(), 0);
  EXPECT_EQ(twain->GetSource(-1), nullptr);
  ModalResponder::Expect(ModalKind::ShowMessage, [](ModalRequest& r) {
    EXPECT_EQ(r.text, "No scanner or camera was found.");
    return int(mrOk);
  });
  EXPECT_EQ(twain->SelectSource(), -1);
}

TEST_F(ScannerTest, CancelInTheScanDialog) {
  auto twain = NewTwain();
  TTwainSource* source = OpenSource(*twain);
  ASSERT_NE(source, nullptr);
  ExpectScanDialogCancel();
  ASSERT_TRUE(RunUntilDisabled(*source));
  EXPECT_EQ(events_.cancels, 1);
  EXPECT_EQ(events_.disables, 1);
  EXPECT_TRUE(events_.images.empty());
  EXPECT_EQ(events_.errors, 0);
  // The source can be enabled again and scans then.
  ExpectScanDialog(skGray, 50);
  ASSERT_TRUE(RunUntilDisabled(*source));
  EXPECT_EQ(events_.images.size(), 1u);
}

// The slow device of the stand-in library takes about three seconds for its page.
TEST_F(ScannerTest, CancelInTheMiddleOfTheScan) {
  setenv("KIVO2_SANE_LIBRARY", KIVO2_FAKE_SANE, 1);
  auto twain = NewTwain();
  TTwainSource* source = OpenSource(*twain, "slow:0");
  ASSERT_NE(source, nullptr);
  ExpectScanDialog(skGray, 0);
  source->SetEnabled(true);
  TTwainProgressForm* progress = ScanUnderWay();
  ASSERT_NE(progress, nullptr);
  EXPECT_LT(progress->ProgressBar1->Position(), 1000);
  progress->ButtonCancel->Click();
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return !source->Enabled(); }, 20000));
  EXPECT_EQ(events_.cancels, 1);
  EXPECT_TRUE(events_.images.empty());
  EXPECT_EQ(events_.errors, 0);
  EXPECT_EQ(ProgressWindow(), nullptr);
}

// Libraries that read the device in a thread of their own close their end of its pipe before
// they cancel that thread asynchronously. The thread waits in its write into the full pipe: it
// must still be there when the cancel comes, not woken by a broken pipe and running on into
// the C library, where a cancel can leave a lock taken for ever (and every later scan hangs).
TEST_F(ScannerTest, CancelFindsTheLibrarysReadingThreadInItsWrite) {
  setenv("KIVO2_SANE_LIBRARY", KIVO2_FAKE_SANE, 1);
  auto twain = NewTwain();
  TTwainSource* source = OpenSource(*twain, "piped:0");
  ASSERT_NE(source, nullptr);
  void* library = dlopen(KIVO2_FAKE_SANE, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr);
  auto brokenWrites = reinterpret_cast<int (*)()>(dlsym(library, "fake_broken_writes"));
  ASSERT_NE(brokenWrites, nullptr);
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    events_ = Events();
    ExpectScanDialog(skGray, 0);
    source->SetEnabled(true);
    TTwainProgressForm* progress = ScanUnderWay();
    ASSERT_NE(progress, nullptr);
    progress->ButtonCancel->Click();
    ASSERT_TRUE(GuiTesting::WaitUntil([&] { return !source->Enabled(); }, 30000));
    EXPECT_EQ(events_.cancels, 1);
    EXPECT_EQ(brokenWrites(), 0);
  }
  // A page read to its end: the thread has finished its writes, and the picture is whole.
  setenv("FAKE_SANE_FAST", "1", 1);
  events_ = Events();
  ExpectScanDialog(skGray, 0);
  const bool ended = RunUntilDisabled(*source);
  unsetenv("FAKE_SANE_FAST");
  ASSERT_TRUE(ended);
  ASSERT_EQ(events_.images.size(), 1u);
  EXPECT_EQ(events_.images[0]->Height(), 2048);
  EXPECT_EQ(events_.images[0]->PixelColor(63, 2047), TColor(0x404040));
  EXPECT_EQ(brokenWrites(), 0);
  dlclose(library);
}

// The device's errors end the transfer with their condition; the device itself reporting a
// cancel (condition -1 here) is a cancel.
TEST_F(ScannerTest, DeviceErrorsEndTheTransferWithTheCondition) {
  struct Case {
    const char* status;
    int condition;
  };
  for (const Case& c : {Case{"SANE_STATUS_IO_ERROR", TWCC_CHECKDEVICEONLINE}, Case{"SANE_STATUS_JAMMED", TWCC_PAPERJAM},
                        Case{"SANE_STATUS_COVER_OPEN", TWCC_INTERLOCK}, Case{"SANE_STATUS_NO_MEM", TWCC_LOWMEMORY},
                        Case{"SANE_STATUS_ACCESS_DENIED", TWCC_DENIED}, Case{"SANE_STATUS_CANCELLED", -1}}) {
    SCOPED_TRACE(c.status);
    WriteSaneConfig({std::string("read-status-code \"") + c.status + "\""});
    events_ = Events();
    auto twain = NewTwain();
    TTwainSource* source = OpenSource(*twain);
    ASSERT_NE(source, nullptr);
    ExpectScanDialog(skColor, 50);
    ASSERT_TRUE(RunUntilDisabled(*source));
    EXPECT_EQ(events_.errors, c.condition < 0 ? 0 : 1);
    EXPECT_EQ(events_.cancels, c.condition < 0 ? 1 : 0);
    EXPECT_EQ(events_.lastError, c.condition < 0 ? 0 : int(TWRC_FAILURE));
    EXPECT_EQ(events_.lastCondition, c.condition < 0 ? 0 : c.condition);
    EXPECT_TRUE(events_.images.empty());
  }
}

TEST_F(ScannerTest, DeviceThatDisappearsHalfWayThroughAPage) {
  setenv("KIVO2_SANE_LIBRARY", KIVO2_FAKE_SANE, 1);
  auto twain = NewTwain();
  TTwainSource* source = OpenSource(*twain, "vanish:0");
  ASSERT_NE(source, nullptr);
  ExpectScanDialog(skGray, 0);
  ASSERT_TRUE(RunUntilDisabled(*source));
  EXPECT_EQ(events_.errors, 1);
  EXPECT_EQ(events_.lastCondition, TWCC_CHECKDEVICEONLINE);
  // Half a page never reaches the application.
  EXPECT_TRUE(events_.images.empty());
  EXPECT_EQ(events_.progressCalls, 0);
  // Gone from the list too.
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& request) {
    auto* dialog = dynamic_cast<TTwainSelectDialog*>(request.form);
    EXPECT_NE(dialog, nullptr);
    EXPECT_EQ(dialog ? dialog->ListBox1->Items()->Text() : "",
              "Kivo2 Slow scanner (slow:0)\r\nKivo2 Piped scanner (piped:0)\r\n");
    return int(mrCancel);
  });
  EXPECT_EQ(twain->SelectSource(), -1);
  // Scanning again fails at once the same way.
  events_ = Events();
  ExpectScanDialog(skGray, 0);
  ASSERT_TRUE(RunUntilDisabled(*source));
  EXPECT_EQ(events_.errors, 1);
  EXPECT_EQ(events_.lastCondition, TWCC_CHECKDEVICEONLINE);
}

// Calls out of order are refused with a sequence error, and the component keeps its state.
TEST_F(ScannerTest, CallsOutOfOrderAreRefused) {
  auto twain = NewTwain();
  TTwainSource* source = OpenSource(*twain);
  ASSERT_NE(source, nullptr);
  TW_IMAGEINFO info;
  EXPECT_EQ(twain->DSMCall(&source->Structure(), DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_FAILURE);
  EXPECT_EQ(source->GetConditionCode(), TWCC_SEQERROR);
  TW_PENDINGXFERS pending;
  EXPECT_EQ(twain->DSMCall(&source->Structure(), DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_FAILURE);
  EXPECT_EQ(source->GetConditionCode(), TWCC_SEQERROR);
  TWindowHandle window = twain->WindowHandle();
  EXPECT_EQ(twain->DSMCall(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window), TWRC_FAILURE);
  EXPECT_TRUE(twain->SourceManagerLoaded());
  // Disabling a source that is not enabled leaves it as it is.
  EXPECT_TRUE(source->SetEnabled(false));
  EXPECT_TRUE(source->Loaded());
  // An enable that the source refuses leaves it disabled, so a later enable is tried again.
  TW_USERINTERFACE ui{0, 0, reinterpret_cast<TW_HANDLE>(twain->WindowHandle())};
  ASSERT_EQ(twain->DSMCall(&source->Structure(), DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_FALSE(source->SetEnabled(true));
  EXPECT_FALSE(source->Enabled());
  ASSERT_EQ(twain->DSMCall(&source->Structure(), DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ExpectScanDialogCancel();
  ASSERT_TRUE(RunUntilDisabled(*source));
  EXPECT_EQ(events_.cancels, 1);
}
