// The main window's scanner command end to end: a scan from SANE's test device becomes a JPEG
// file in the folder the tree shows, listed and opened; a picture never replaces a file; a
// failed or cancelled scan leaves no file and says so.
#include <dlfcn.h>

#include <cerrno>
#include <filesystem>
#include <regex>

#include "Kivo2Version.h"
#include "ScannerFixture.h"
#include "controls/QzFileExplorer28.h"
#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "core/Unit1.h"
#include "formats/GraphicFormats.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/ModalResponder.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/ScannerDialogs.h"
#include "scanner/CorvoTwain.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ScanFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& n : FilesIn(folder))
    if (n.rfind("twain_", 0) == 0) names.push_back(n);
  return names;
}

// "twain_" + month day hour minute second, without leading zeros.
std::string NameDigits(TDateTime t) {
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(t, y, mo, d, h, mi, s, ms);
  return std::to_string(mo) + std::to_string(d) + std::to_string(h) + std::to_string(mi) + std::to_string(s);
}

}  // namespace

class MainWindowScanTest : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("KIVO2_SANE_LIBRARY");
    InitTranslation(testsupport::ProgramDir() + "/locale");
    UseLanguage("en");
    InitializeGraphicFormats();
    programDir_ = testsupport::TempPath("program") + "/";
    fs::create_directories(programDir_);
    static std::string arg0;
    static char* argv[2];
    arg0 = programDir_ + "kivo2";
    argv[0] = arg0.data();
    argv[1] = nullptr;
    SetCommandLine(1, argv);
    Application->Initialize();
    WriteSaneConfig();
    // The settings of this build, so that the first showing greets no new version.
    char version[32];
    snprintf(version, sizeof version, "dword:%08x",
             unsigned(EncodeBuildNumber(KIVO2_VERSION_MAJOR, KIVO2_VERSION_MINOR, KIVO2_VERSION_PATCH, KIVO2_VERSION_TWEAK)));
    testsupport::WriteFile(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg",
                           std::string("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Version\"=") +
                               version + "\r\n\r\n");
    InitProgramLanguageFor(programDir_);
    CreateProgramForms();
    Form1->FProgramDir = programDir_;
    Form1->Show();
    Application->ProcessMessages();
    // The first showing ends once the window is painted.
    ASSERT_TRUE(GuiTesting::WaitUntil([] { return !Form1->FirstShowPending(); }, 30000));
    folder_ = testsupport::TempPath("scans");
    fs::create_directories(folder_);
    Form1->QzDirTree211->OpenPath(folder_);
    ASSERT_EQ(ExcludeTrailingPathDelimiter(Form1->QzDirTree211->SelectedPath()), folder_);
  }

  void TearDown() override {
    GuiTesting::ProcessEvents();
    EXPECT_EQ(ModalResponder::Pending(), 0) << "scripted dialogs that never came";
    DoneApplication();
    FinalizeGraphicFormats();
    UseLanguage("en");
    FinalizeProgramGlobals();
    unsetenv("SANE_CONFIG_DIR");
  }

  // Runs the command as the user would, with the device chosen (scripted) and then the
  // dialogs that script scripts. Returns when the source is disabled again.
  bool Acquire(const std::function<void()>& script, const std::string& device = "test:0") {
    ExpectSelectDevice(device);
    script();
    Form1->Aquireimagetwainscannerebcam1Click(Form1->Aquireimagetwainscannerebcam1);
    TTwainSource* source = Form1->Twain->GetSource(0);
    if (!source) return false;
    return GuiTesting::WaitUntil(
        [] {
          for (int i = 0; i < Form1->Twain->SourceCount(); ++i)
            if (Form1->Twain->GetSource(i)->Enabled()) return false;
          return true;
        },
        60000);
  }

  // Expects one message or question with this text (or, not whole, holding it), answered OK.
  static void ExpectMessage(const std::string& text, bool whole = true) {
    ModalResponder::Expect(ModalKind::Any, [text, whole](ModalRequest& r) {
      EXPECT_TRUE(whole ? r.text == text : r.text.find(text) != std::string::npos) << r.text;
      return int(mrOk);
    });
  }

  std::string programDir_, folder_;
};

TEST_F(MainWindowScanTest, ScanBecomesAJpegFileListedAndOpened) {
  KIVO2_REQUIRE_TOOL("scanimage");
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("identify");
  struct Case {
    TScanKind kind;
    int dpi;
  };
  for (const Case& c : {Case{skColor, 100}, Case{skLineart, 50}}) {
    SCOPED_TRACE(ScanKindText(c.kind));
    const std::vector<std::string> before = ScanFiles(folder_);
    const TDateTime start = Now();
    ASSERT_TRUE(Acquire([&] { ExpectScanDialog(c.kind, c.dpi); }));
    const TDateTime end = Now();
    std::vector<std::string> after = ScanFiles(folder_);
    ASSERT_EQ(after.size(), before.size() + 1);
    std::string name;
    for (const std::string& n : after)
      if (std::find(before.begin(), before.end(), n) == before.end()) name = n;
    // Named by the time of the save.
    std::smatch m;
    ASSERT_TRUE(std::regex_match(name, m, std::regex("twain_([0-9]+)(_[0-9]+)?\\.JPG"))) << name;
    EXPECT_TRUE(m[1] == NameDigits(start) || m[1] == NameDigits(end)) << name;
    const std::string path = folder_ + "/" + name;
    // A JPEG of quality 90 whose pixels are the scanner's.
    EXPECT_EQ(testsupport::Run({"identify", "-format", "%m %Q", path}).out, "JPEG 90");
    const testsupport::Raster ours = testsupport::ImageMagickRaster(path, {"-colorspace", "sRGB", "-type", "TrueColor", "-depth", "8"});
    // The scanner's picture, and ImageMagick's own JPEG of it at quality 90 (with the usual
    // halved colour resolution) as the measure of what the compression alone changes.
    const std::string pnm = testsupport::TempPath("scanimage.pnm"), reference = testsupport::TempPath("reference.jpg");
    testsupport::WriteFile(pnm, ScanImagePnm(ScanImageOptions(c.kind, c.dpi)));
    ASSERT_EQ(testsupport::Run({"convert", pnm, "-sampling-factor", "2x2,1x1,1x1", "-quality", "90", reference}).exitCode, 0);
    const testsupport::Raster scanner = testsupport::ImageMagickRaster(pnm, {"-colorspace", "sRGB", "-type", "TrueColor", "-depth", "8"});
    const testsupport::Raster theirs = testsupport::ImageMagickRaster(reference, {"-colorspace", "sRGB", "-type", "TrueColor", "-depth", "8"});
    ASSERT_EQ(ours.width, scanner.width);
    ASSERT_EQ(ours.height, scanner.height);
    auto meanError = [&scanner](const testsupport::Raster& r) {
      double total = 0;
      for (size_t i = 0; i < r.samples.size() && i < scanner.samples.size(); ++i)
        total += std::abs(int(r.samples[i]) - int(scanner.samples[i]));
      return total / double(scanner.samples.size());
    };
    EXPECT_LE(meanError(ours), meanError(theirs) * 1.25 + 1.0) << meanError(theirs);
    // Listed, selected and shown.
    const int entry = Form1->ListBox1->Items()->IndexOf(name);
    EXPECT_GE(entry, 0);
    EXPECT_EQ(Form1->ListBox1->ItemIndex(), entry);
    EXPECT_EQ(ExtractFileName(Form1->FCurrentFile), name);
    // No temporary file is left.
    for (const std::string& n : FilesIn(folder_)) EXPECT_EQ(n.find(".part"), std::string::npos) << n;
  }
}

// Pictures saved within one second, or whose names are taken (the same digits on another day),
// all keep their own file; no file is ever replaced.
TEST_F(MainWindowScanTest, ManyPicturesInOneSecondKeepEveryFile) {
  KIVO2_REQUIRE_TOOL("convert");
  // Files that the next seconds' names would hit.
  std::set<std::string> taken;
  const TDateTime now = Now();
  for (int s = -1; s < 30; ++s) {
    const std::string name = "twain_" + NameDigits(now + s / 86400.0) + ".JPG";
    if (taken.insert(name).second) testsupport::WriteFile(folder_ + "/" + name, "keep " + name);
  }
  constexpr int kPictures = 24;
  for (int i = 0; i < kPictures; ++i) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(16, 8);
    bitmap.Canvas().Brush().SetColor(TColor(i * 10));  // red 0, 10, ... 230
    bitmap.Canvas().FillRect(TRect(0, 0, 16, 8));
    bool cancel = false;
    Form1->TwainTwainAcquire(Form1->Twain, 0, &bitmap, cancel);
    EXPECT_FALSE(cancel);
  }
  for (const std::string& name : taken) EXPECT_EQ(testsupport::ReadFile(folder_ + "/" + name), "keep " + name);
  std::set<int> reds;
  int files = 0;
  for (const std::string& name : ScanFiles(folder_)) {
    if (taken.count(name)) continue;
    ++files;
    EXPECT_TRUE(std::regex_match(name, std::regex("twain_[0-9]+_[0-9]+\\.JPG"))) << name;
    const testsupport::Raster r = testsupport::ImageMagickRaster(folder_ + "/" + name);
    reds.insert((r.at(8, 4, 0) + 5) / 10);
  }
  EXPECT_EQ(files, kPictures);
  EXPECT_EQ(int(reds.size()), kPictures);  // every picture once
}

// A document feeder's sheets arrive within a moment of each other: every one is kept.
TEST_F(MainWindowScanTest, FeederSheetsAllSaved) {
  ASSERT_TRUE(Acquire([] {
    ExpectScanDialog(skGray, 50, [](TTwainScanDialog& d) {
      d.ComboSource->SetItemIndex(d.ComboSource->Items()->IndexOf("Automatic Document Feeder"));
      d.EditWidth->SetValue(20);
      d.EditHeight->SetValue(20);
    });
  }));
  EXPECT_EQ(ScanFiles(folder_).size(), 10u);
  EXPECT_EQ(Form1->ListBox1->Items()->Count(), 10);
}

const std::string kNoAnswer =
    "Scanning failed; no picture was saved.\nThe scanner does not answer. Check that it is connected and switched on.";

// A device's error, and a device gone half way through a page: nothing saved, the reason said.
TEST_F(MainWindowScanTest, FailedScanOrDeviceGoneHalfWaySavesNothingAndSaysWhy) {
  WriteSaneConfig({"read-status-code \"SANE_STATUS_IO_ERROR\""});
  ASSERT_TRUE(Acquire([] {
    ExpectScanDialog(skColor, 50);
    ExpectMessage(kNoAnswer);
  }));
  EXPECT_TRUE(FilesIn(folder_).empty());
  Form1->Twain->SetLibraryLoaded(false);
  setenv("KIVO2_SANE_LIBRARY", KIVO2_FAKE_SANE, 1);
  ASSERT_TRUE(Acquire(
      [] {
        ExpectScanDialog(skGray, 0);
        ExpectMessage(kNoAnswer);
      },
      "vanish:0"));
  EXPECT_TRUE(FilesIn(folder_).empty());
}

TEST_F(MainWindowScanTest, CancelledScansSaveNothingAndSaySo) {
  // In the dialog.
  ASSERT_TRUE(Acquire([] { ExpectScanDialogCancel(); }));
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "Scanning cancelled; no picture was saved.");
  EXPECT_TRUE(FilesIn(folder_).empty());
  // In the middle of the scan.
  Form1->LabelShowTextTop->SetCaption("");
  Form1->Twain->SetLibraryLoaded(false);
  setenv("KIVO2_SANE_LIBRARY", KIVO2_FAKE_SANE, 1);
  ExpectSelectDevice("slow:0");
  ExpectScanDialog(skGray, 0);
  Form1->Aquireimagetwainscannerebcam1Click(Form1->Aquireimagetwainscannerebcam1);
  TTwainSource* source = Form1->Twain->GetSource(1);
  ASSERT_NE(source, nullptr);
  ASSERT_TRUE(GuiTesting::WaitUntil([] { return ProgressWindow() && ProgressWindow()->ProgressBar1->Position() > 0; },
                                    20000));
  ProgressWindow()->ButtonCancel->Click();
  ASSERT_TRUE(GuiTesting::WaitUntil([source] { return !source->Enabled(); }, 20000));
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "Scanning cancelled; no picture was saved.");
  EXPECT_TRUE(FilesIn(folder_).empty());
}

TEST_F(MainWindowScanTest, NoLibraryNoDeviceOrASlowSearchIsSaid) {
  setenv("KIVO2_SANE_LIBRARY", testsupport::TempPath("missing.so").c_str(), 1);
  ExpectMessage("Error loading the scanner library SANE (libsane)");
  Form1->Aquireimagetwainscannerebcam1Click(Form1->Aquireimagetwainscannerebcam1);
  EXPECT_FALSE(Form1->Twain->LibraryLoaded());

  unsetenv("KIVO2_SANE_LIBRARY");
  const std::string dir = testsupport::TempPath("empty-sane");
  fs::create_directories(dir);
  testsupport::WriteFile(dir + "/dll.conf", "");
  setenv("SANE_CONFIG_DIR", dir.c_str(), 1);
  ExpectMessage("No scanner or camera was found.");
  Form1->Aquireimagetwainscannerebcam1Click(Form1->Aquireimagetwainscannerebcam1);
  EXPECT_EQ(Form1->Twain->OpenSourceCount(), 0);

  // A search that takes its time, as for a network scanner that does not answer: the program
  // goes on meanwhile (its timer ticks) under the hourglass, with a notice that says so, and
  // the scanner is chosen from the list of that one search.
  Form1->Twain->SetLibraryLoaded(false);
  setenv("KIVO2_SANE_LIBRARY", KIVO2_FAKE_SANE, 1);
  setenv("FAKE_SANE_SEARCH_MS", "1500", 1);
  ASSERT_TRUE(Form1->Twain->LoadTwainLibrary());
  auto searches = reinterpret_cast<int (*)()>(dlsym(dlopen(KIVO2_FAKE_SANE, RTLD_NOW | RTLD_NOLOAD), "fake_searches"));
  ASSERT_NE(searches, nullptr);
  const int before = searches();
  int busyTicks = 0;
  TTimer timer(nullptr);
  timer.SetInterval(100);
  timer.OnTimer = [&busyTicks](TObject*) {
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (dynamic_cast<TTwainSearchForm*>(Screen->Forms(i)) && Screen->Forms(i)->Visible())
        busyTicks += Screen->Cursor() == crHourGlass;
  };
  timer.SetEnabled(true);
  ASSERT_TRUE(Acquire([] { ExpectScanDialogCancel(); }, "slow:0"));
  timer.SetEnabled(false);
  EXPECT_GE(busyTicks, 5);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(searches() - before, 1);

  // Esc while the notice shows stops waiting at once: no list of sources, no question (an
  // unexpected one fails the test), nothing opened.
  setenv("FAKE_SANE_SEARCH_MS", "4000", 1);
  bool escaped = false;
  timer.OnTimer = [&escaped](TObject*) {
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (dynamic_cast<TTwainSearchForm*>(Screen->Forms(i)) && Screen->Forms(i)->Visible() && !std::exchange(escaped, true))
        GuiTesting::PostKey(Form1, VK_ESCAPE);
  };
  timer.SetEnabled(true);
  const int sources = Form1->Twain->OpenSourceCount();
  const uint64_t start = GetTickCount64();
  Form1->Aquireimagetwainscannerebcam1Click(Form1->Aquireimagetwainscannerebcam1);
  timer.SetEnabled(false);
  unsetenv("FAKE_SANE_SEARCH_MS");
  EXPECT_TRUE(escaped);
  EXPECT_LT(GetTickCount64() - start, 2500u);
  EXPECT_EQ(Form1->Twain->OpenSourceCount(), sources);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

// A save that fails (a full disk, a rename the file system refuses, a folder that is gone) is
// reported, and leaves neither the picture's name nor a temporary file behind.
TEST_F(MainWindowScanTest, FailedSaveIsReportedAndLeavesNothing) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(64, 64);
  struct Case {
    TFileFaultOp op;
    int error;
    const char* text;
  };
  for (const Case& c : {Case{TFileFaultOp::Write, ENOSPC, "Cannot write file"},
                        Case{TFileFaultOp::Rename, EIO, "Cannot write file"},
                        Case{TFileFaultOp::Open, EACCES, "Cannot create file"}}) {
    SCOPED_TRACE(c.error);
    TFileFaultScope fault(c.op, c.error, folder_);
    ExpectMessage(c.text, false);
    bool cancel = false;
    Form1->TwainTwainAcquire(Form1->Twain, 0, &bitmap, cancel);
    EXPECT_EQ(fault.Hits(), 1);
    EXPECT_TRUE(FilesIn(folder_).empty());
  }
  fs::remove_all(folder_);
  ExpectMessage("Cannot create file", false);
  bool cancel = false;
  Form1->TwainTwainAcquire(Form1->Twain, 0, &bitmap, cancel);
  EXPECT_FALSE(fs::exists(folder_));
}

// The next scan starts from the kind, resolution and area of the last one. (Scanners set
// their defaults again when opened; the test device when the library starts again.)
TEST_F(MainWindowScanTest, TheScanDialogKeepsTheLastKindResolutionAndArea) {
  ASSERT_TRUE(Acquire([] { ExpectScanDialog(skColor, 100, [](TTwainScanDialog& d) { d.EditWidth->SetValue(51); }); }));
  Form1->Twain->SetSourceManagerLoaded(false);
  Form1->Twain->UnloadTwainLibrary();
  ASSERT_TRUE(Acquire([] {
    ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& r) {
      auto& d = dynamic_cast<TTwainScanDialog&>(*r.form);
      EXPECT_EQ(d.ComboKind->Text() + " " + d.ComboResolution->Text() + " " + std::to_string(d.EditWidth->Value()),
                ScanKindText(skColor) + " 100 51");
      d.ButtonCancel->Click();
      return int(mrNone);
    });
  }));
}

TEST_F(MainWindowScanTest, DialogsAndMessagesInDutch) {
  UseLanguage("nl");
  ASSERT_TRUE(Acquire([] {
    ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& request) {
      auto* dialog = dynamic_cast<TTwainScanDialog*>(request.form);
      EXPECT_NE(dialog, nullptr);
      if (!dialog) return int(mrCancel);
      EXPECT_EQ(dialog->ButtonScan->Caption(), "Scannen");
      EXPECT_EQ(dialog->ComboKind->Items()->Text(), "Kleur\r\nGrijs\r\nLijntekening\r\n");
      dialog->ButtonCancel->Click();
      return int(mrNone);
    });
  }));
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "Het scannen is afgebroken; er is geen afbeelding opgeslagen.");
  TTwainSearchForm notice(nullptr);
  EXPECT_EQ(notice.Label1->Caption(), "Er wordt naar scanners en camera's gezocht...");
  EXPECT_EQ(notice.Label2->Caption(), "Druk op Esc om niet langer te wachten.");
  EXPECT_EQ(GuiTesting::CutTexts(&notice), std::vector<std::string>{});
}
