// The hand-offs to the desktop: the help window at the page of each window, the wallpaper
// through stand-ins for gsettings, xfconf-query and the Plasma shell's dbus-send that keep
// their values in files, and the stand-alone copy of the program on a folder of a RAM disk
// standing for a removable drive, started there from its script.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <functional>
#include <regex>
#include <tuple>

#include "OrganiseFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "platform/rtl/SysUtils.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/services/HelpWindow.h"
#include "tools/CalcAspectForm.h"
#include "tools/UnitAnalize.h"
#include "tools/UnitBatchRename2.h"
#include "tools/UnitCompare.h"
#include "tools/UnitGetMemorycard.h"
#include "tools/UnitSaveImage.h"

namespace fs = std::filesystem;

namespace {

void WriteScript(const std::string& file, const std::string& body) {
  testsupport::WriteFile(file, "#!/bin/sh\n" + body);
  chmod(file.c_str(), 0755);
}

}  // namespace

class DesktopTest : public OrganiseTest {
 protected:
  void SetUp() override {
    OrganiseTest::SetUp();
    bin_ = testsupport::TempPath("bin");
    fs::create_directories(bin_);
    setenv("PATH", (bin_ + ":/usr/bin:/bin").c_str(), 1);
  }

  EnvironmentGuard env_{"PATH", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION"};
  std::string bin_;
};

// ===========================================================================
// Help
// ===========================================================================
// The build's own help pages, linked into the program folder, in the language the program
// starts in. Each road to the help (command, F1, Help button) must show the page of the
// window it came from: a page named in a table of its own, whose text names the window
// by the caption the window shows in that language.
class HelpTest : public DesktopTest, public testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    fs::create_directory_symlink(testsupport::ProgramDir() + "/help", ProgramFolder() + "help");
    MakeColor("a.png", 32, 24, "blue");
    StartIn(std::string(), {std::string("\"Language\"=\"") + GetParam() + "\""});
  }
};

TEST_P(HelpTest, EveryRoadToTheHelpShowsThePageOfItsWindow) {
  ASSERT_EQ(Application->HelpFile(), ProgramFolder() + "help/" + GetParam());
  auto f1 = [](TCustomForm* form) { return [form] { GuiTesting::PressKey(form, VK_F1); }; };
  struct Road {
    const char* name;
    std::function<void()> go;
    const char* page;
    std::function<std::string()> caption;
  };
  const std::vector<Road> roads = {
      {"Help command", [] { Form1->M_Help->Click(); }, "main.html", [] { return Form1->Panel6->Caption(); }},
      {"F1 of the main window", f1(Form1), "main.html", [] { return Form1->Panel6->Caption(); }},
      {"Help command beside the paperclip",
       [] {
         Form1->TreeView1->SetVisible(true);
         Form1->M_Help->Click();
         Form1->TreeView1->SetVisible(false);
       },
       "paperclip.html", [] { return Form1->M_OpenShow->Caption(); }},
      {"stand-alone help", [] { Form1->HelpforStandAloneversions1->Click(); }, "standalone.html",
       [] { return Form1->CreateUSBKivo21->Caption(); }},
      {"Homepage", [] { Form1->GotoHomepage1->Click(); }, "about.html",
       [] { return Form1->GotoHomepage1->Caption(); }},
      {"compression center", [] { FormSaveImage->ZqSpeedButton1->Click(); }, "save.html",
       [] { return FormSaveImage->Caption(); }},
      {"F1 of the compression center", f1(FormSaveImage), "save.html", [] { return FormSaveImage->Caption(); }},
      {"Shotgraph", [] { FormAnalize->ZqSpeedButton9->Click(); }, "shotgraph.html",
       [] { return Form1->Zq_Shotgraph->Caption(); }},
      {"F1 of the Shotgraph", f1(FormAnalize), "shotgraph.html", [] { return Form1->Zq_Shotgraph->Caption(); }},
      {"equivalent list", [] { FormAnalize->ZqSpeedButton10->Click(); }, "lenslist.html",
       [] { return FormAnalize->TabSheet7->Caption(); }},
      {"card import", [] { FormGetcard->ZqSpeedButton1->Click(); }, "card.html",
       [] { return FormGetcard->Caption(); }},
      {"F1 of the card import", f1(FormGetcard), "card.html", [] { return FormGetcard->Caption(); }},
      {"batch rename", [] { BatchRenameForm->ZqSpeedButton1->Click(); }, "batchrename.html",
       [] { return BatchRenameForm->Caption(); }},
      {"F1 of the batch rename", f1(BatchRenameForm), "batchrename.html", [] { return BatchRenameForm->Caption(); }},
      {"compare", [] { FormCompare->ZqHelp->Click(); }, "compare.html", [] { return FormCompare->Caption(); }},
      {"F1 of the compare window", f1(FormCompare), "compare.html", [] { return FormCompare->Caption(); }},
      {"aspect ratio", [] { CalculateAspect->ZqButton1->Click(); }, "aspect.html",
       [] { return CalculateAspect->Caption(); }},
      {"F1 in the aspect ratio window's height", [] { GuiTesting::PressKey(CalculateAspect->Edit1, VK_F1); },
       "aspect.html", [] { return CalculateAspect->Caption(); }},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    if (THtmlHelpForm* help = HtmlHelpForm(false)) help->Close();
    road.go();
    THtmlHelpForm* help = HtmlHelpForm(false);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->Visible());
    EXPECT_EQ(help->CurrentPage(), ProgramFolder() + "help/" + GetParam() + "/" + road.page);
    const std::string caption = StripHotkey(road.caption());
    EXPECT_NE(help->View->Text().find(caption), std::string::npos) << caption;
  }
  // Without the help folder the request says so.
  fs::remove(ProgramFolder() + "help");
  ExpectMessage(Format(_("The help file %s cannot be opened."), {Application->HelpFile()}));
  Form1->M_Help->Click();
}

// Every link of the pages leads to a page of the same language and to an anchor there;
// both languages have the same pages.
TEST_P(HelpTest, EveryLinkOfTheHelpLeadsToAPageAndAnchorOfItsLanguage) {
  const std::string folder = testsupport::ProgramDir() + "/help/" + GetParam() + "/";
  std::vector<std::string> pages, english;
  for (const auto& e : fs::directory_iterator(folder)) pages.push_back(e.path().filename().string());
  for (const auto& e : fs::directory_iterator(testsupport::ProgramDir() + "/help/en"))
    english.push_back(e.path().filename().string());
  std::sort(pages.begin(), pages.end());
  std::sort(english.begin(), english.end());
  EXPECT_EQ(pages, english);
  const std::regex link("href=\"([^\"#]*)(#([^\"]*))?\"");
  for (const std::string& page : pages) {
    const std::string text = testsupport::ReadFile(folder + page);
    for (auto m = std::sregex_iterator(text.begin(), text.end(), link); m != std::sregex_iterator(); ++m) {
      SCOPED_TRACE(page + " -> " + m->str());
      const std::string target = (*m)[1].str().empty() ? page : (*m)[1].str();
      ASSERT_TRUE(fs::exists(folder + target));
      if ((*m)[3].matched) {
        EXPECT_NE(testsupport::ReadFile(folder + target).find("name=\"" + (*m)[3].str() + "\""), std::string::npos);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, HelpTest, testing::Values("en", "nl"));

// ===========================================================================
// Wallpaper
// ===========================================================================
class WallpaperTest : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    KIVO2_REQUIRE_TOOL("identify");
    store_ = testsupport::TempPath("gsettings");
    log_ = testsupport::TempPath("gsettings.log");
    fs::create_directories(store_);
    // gsettings as far as the wallpaper needs it: each key a file holding the printed value.
    WriteScript(bin_ + "/gsettings", "echo \"$*\" >> '" + log_ + "'\nf='" + store_ +
                                         "'/\"$2.$3\"\n"
                                         "[ -f \"$f\" ] || { echo \"No such key\" >&2; exit 1; }\n"
                                         "case \"$1\" in\n"
                                         "  get) cat \"$f\" ;;\n"
                                         "  set) [ -e '" +
                                         store_ + "/refuse' ] && exit 1; printf '%s\\n' \"$4\" > \"$f\" ;;\n"
                                                  "  *) exit 2 ;;\n"
                                                  "esac\n");
    old_ = testsupport::TempPath("old wallpaper's.jpg");
    testsupport::WriteFile(old_, "old");
    Key("picture-uri", "'file://" + testsupport::TempDir() + "/old%20wallpaper%27s.jpg'");
    Key("picture-uri-dark", "'file:///usr/share/backgrounds/dark.png'");
    Key("picture-options", "'zoom'");
    setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
    ModalResponder::SetScreenSize(320, 200);
    MakeColor("a.png", 64, 48, "red");
    StartIn();
    Form1->ZqFitInScreen->SetDown(false);
    Form1->ListBox1->SetItemIndex(0);
    Form1->ListBox1Click(Form1->ListBox1);
    ASSERT_EQ(Form1->FCurrentFile, folder_ + "a.png");
  }
  void Key(const std::string& key, const std::string& value) {
    testsupport::WriteFile(store_ + "/org.gnome.desktop.background." + key, value + "\n");
  }
  std::string Value(const std::string& key) {
    std::string v = testsupport::ReadFile(store_ + "/org.gnome.desktop.background." + key);
    return v.empty() ? v : v.substr(0, v.size() - 1);
  }
  std::map<std::string, std::string> Values() {
    return {{"picture-uri", Value("picture-uri")},
            {"picture-uri-dark", Value("picture-uri-dark")},
            {"picture-options", Value("picture-options")}};
  }
  std::string Wallpaper() const { return Form1->FAppDir + "kivo2wallpaper.bmp"; }
  std::string store_, log_, old_;
};

TEST_F(WallpaperTest, SetRemoveAndRestoreGiveBackTheValuesReadFirst) {
  const auto original = Values();
  ExpectMessage("Wallpaper created and set.");
  Form1->WallpaperStreched1->Click();
  // The picture fills the screen's box in proportion (64 x 48 into 320 x 200, whole pixels).
  auto size = testsupport::Run({"identify", "-format", "%m %wx%h", Wallpaper()});
  EXPECT_EQ(size.out, "BMP3 266x200") << size.err;
  const std::string uri = "'file://" + Wallpaper() + "'";
  EXPECT_EQ(Values(), (std::map<std::string, std::string>{
                          {"picture-uri", uri}, {"picture-uri-dark", uri}, {"picture-options", "'stretched'"}}));
  // The first change read the desktop's own values before writing any.
  const std::string log = testsupport::ReadFile(log_);
  EXPECT_LT(log.find("get org.gnome.desktop.background picture-uri\n"), log.find("set "));

  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Form1->WallpaperCenter->Click();
  EXPECT_EQ(Value("picture-options"), "'centered'");
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Form1->WallpaperTiled1->Click();
  EXPECT_EQ(Value("picture-options"), "'wallpaper'");

  Form1->RemoveWallpaper1->Click();
  EXPECT_EQ(Values(), (std::map<std::string, std::string>{
                          {"picture-uri", "''"}, {"picture-uri-dark", "''"}, {"picture-options", "'none'"}}));
  EXPECT_FALSE(fs::exists(Wallpaper()));

  ExpectMessage("Wallpaper restored  " + old_);
  Form1->showold1->Click();
  EXPECT_EQ(Values(), original);
}

TEST_F(WallpaperTest, FailuresAreReportedAndLeaveTheDesktopAsItWas) {
  const auto original = Values();
  // The desktop refuses the change.
  testsupport::WriteFile(store_ + "/refuse", "");
  ExpectMessage("The wallpaper could not be set: gsettings set org.gnome.desktop.background picture-uri "
                           "failed");
  Form1->WallpaperCenter->Click();
  fs::remove(store_ + "/refuse");
  // The picture cannot be written: the desktop is not touched.
  fs::remove(log_);
  {
    TFileFaultScope full(TFileFaultOp::Write, ENOSPC, "kivo2wallpaper");
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->WallpaperCenter->Click();
    EXPECT_GT(full.Hits(), 0);
  }
  EXPECT_EQ(LastMessage(), "The wallpaper picture " + Wallpaper() + " could not be written.");
  EXPECT_FALSE(fs::exists(log_));
  // An unknown desktop.
  setenv("XDG_CURRENT_DESKTOP", "Enlightenment", 1);
  ExpectMessage("The wallpaper could not be set: the wallpaper of this desktop (Enlightenment) cannot be changed "
                "from here");
  Form1->WallpaperCenter->Click();
  // The reason in the user's language, also when the desktop's name is not known.
  UseLanguage("nl");
  unsetenv("XDG_CURRENT_DESKTOP");
  unsetenv("DESKTOP_SESSION");
  ExpectMessage("De achtergrond kon niet worden verwijderd: de achtergrond van dit bureaublad (onbekend) kan hier "
                "niet worden gewijzigd");
  Form1->RemoveWallpaper1->Click();
  UseLanguage("en");
  EXPECT_FALSE(fs::exists(log_));
  EXPECT_EQ(Values(), original);
  // The picture noted first is gone: nothing to restore.
  setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
  ExpectMessage("Wallpaper created and set.");
  Form1->WallpaperCenter->Click();
  fs::remove(old_);
  ExpectMessage("No previous wallpaper or wallpaper file not found.");
  Form1->showold1->Click();
  EXPECT_EQ(Value("picture-options"), "'centered'");
  // A note when the picture was fitted while smaller than the screen.
  Form1->ZqFitInScreen->SetDown(true);
  ExpectMessage("Note: For better wallpaper results disable \"fit larger pictures\" before creating a wallpaper!");
  ExpectMessage("Wallpaper created and set.");
  Form1->WallpaperCenter->Click();
}

// XFCE (xfconf-query keeps each property in a file, '/' written '+') and Plasma (dbus-send
// logs the shell's scripts and answers a read with a wallpaper package) through the same commands.
class OtherDesktopWallpaperTest : public WallpaperTest, public testing::WithParamInterface<std::string> {};

TEST_P(OtherDesktopWallpaperTest, SetRemoveAndRestoreGiveBackTheValuesReadFirst) {
  const bool xfce = GetParam() == "XFCE";
  setenv("XDG_CURRENT_DESKTOP", GetParam().c_str(), 1);
  const std::string store = testsupport::TempPath("xfconf"), package = testsupport::TempPath("Next") + "/";
  const std::string space = store + "/+backdrop+screen0+monitorV1+workspace";  // + number + property
  WriteScript(bin_ + "/xfconf-query", "cd '" + store + "' || exit 1\n[ \"$3\" = -l ] && { ls | tr + /; exit; }\n" +
                                          "f=$(printf %s \"$4\" | tr / +)\n" +
                                          "[ \"$5\" = -n ] && echo \"$9\" > \"$f\" || cat \"$f\"\n");
  WriteScript(bin_ + "/dbus-send", "echo \"$*\" >> '" + log_ + "'\nprintf 'method return\\n   string \"%s\"\\n' " +
                                       "\"org.kde.image\nfile://" + package + "\n2\"\n");
  fs::create_directories(package);
  fs::create_directories(store);
  for (const char* ws : {"0", "1"}) {
    testsupport::WriteFile(space + ws + "+last-image", old_ + "\n");
    testsupport::WriteFile(space + ws + "+image-style", "5\n");
  }
  auto xf = [&](const char* ws) {
    return testsupport::ReadFile(space + ws + "+last-image") + testsupport::ReadFile(space + ws + "+image-style");
  };
  // The placement the last script gave Plasma's desktops.
  auto placed = [&](const std::string& picture, const char* fill) {
    const std::string log = testsupport::ReadFile(log_), last = log.substr(log.rfind('\n', log.size() - 2) + 1);
    return last.find("\"file://" + picture + "\"); d.writeConfig(\"FillMode\", \"" + fill + "\")") != std::string::npos;
  };
  for (auto [item, style, fill] : {std::tuple{Form1->WallpaperStreched1, "3", "0"}, {Form1->WallpaperCenter, "1", "6"},
                                   {Form1->WallpaperTiled1, "2", "3"}}) {
    ExpectMessage("Wallpaper created and set.");
    item->Click();
    EXPECT_TRUE(xfce ? xf("0") + xf("1") == (Wallpaper() + "\n" + style + "\n") + (Wallpaper() + "\n" + style + "\n")
                     : placed(Wallpaper(), fill));
  }
  Form1->RemoveWallpaper1->Click();  // XFCE's placement "none", Plasma's plain colour
  EXPECT_TRUE(xfce ? xf("1") == Wallpaper() + "\n0\n"
                   : testsupport::ReadFile(log_).find("= \"org.kde.color\"; }") != std::string::npos);
  ExpectMessage("Wallpaper restored  " + (xfce ? old_ : package));
  Form1->showold1->Click();
  EXPECT_TRUE(xfce ? xf("1") == old_ + "\n5\n" : placed(package, "2"));
}

INSTANTIATE_TEST_SUITE_P(XfceAndPlasma, OtherDesktopWallpaperTest, testing::Values("XFCE", "KDE"),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

// ===========================================================================
// Stand-alone copy
// ===========================================================================
class StandAloneTest : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    // A RAM disk stands for the removable drive (any kind but a fixed disk is accepted).
    if (!fs::is_directory("/dev/shm") || DriveKind("/dev/shm") != 5) GTEST_SKIP() << "no RAM disk at /dev/shm";
    // The start files lie at the drive's root, shared by every test on it: one test at a time.
    lock_ = open("/dev/shm/kivo2-stick.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(lock_, 0);
    flock(lock_, LOCK_EX);
    std::string templ = "/dev/shm/kivo2-stick-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    stick_ = templ;
    target_ = stick_ + "/KIVO2_USB";
    // The program folder as the build lays it out.
    const std::string built = testsupport::ProgramDir() + "/";
    fs::copy_file(built + "kivo2", ProgramFolder() + "kivo2");
    fs::create_directories(ProgramFolder() + "locale/nl/LC_MESSAGES");
    for (const char* mo : {"default.mo", "corvo.mo"})
      fs::copy_file(built + "locale/nl/LC_MESSAGES/" + mo, ProgramFolder() + "locale/nl/LC_MESSAGES/" + mo);
    fs::copy_file(built + "cam_equivalent.kv2", ProgramFolder() + "cam_equivalent.kv2");
    fs::copy(built + "help", ProgramFolder() + "help", fs::copy_options::recursive);
    jpegtran_ = testsupport::ToolPath("jpegtran");
    if (!jpegtran_.empty()) {
      fs::create_directories(ProgramFolder() + "jpegtran");
      fs::create_symlink(jpegtran_, ProgramFolder() + "jpegtran/jpegtran");
    }
    MakeColor("a.png", 32, 24, "blue");
    StartIn();
  }
  void TearDown() override {
    if (!stick_.empty()) {
      fs::remove_all(stick_);
      fs::remove("/dev/shm/kivo2start.sh");
      fs::remove("/dev/shm/kivostart.ini");
    }
    if (lock_ >= 0) close(lock_);
    DesktopTest::TearDown();
  }
  void Create(const std::vector<int>& answers, int messages) {
    Form1->QzDirTree211->SetSelectedPath(stick_);
    for (int a : answers) ModalResponder::Expect(ModalKind::MessageDlg, a);
    for (int i = 0; i < messages; ++i) ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->CreateUSBKivo21->Click();
  }
  std::string stick_, target_, jpegtran_;
  int lock_ = -1;
};

TEST_F(StandAloneTest, TheCopyStartsFromTheDriveAndKeepsItsSettingsBesideItself) {
  Create({mrYes}, 1);
  EXPECT_EQ(LastMessage(), "Your Stand Alone version can be started from: /dev/shm/kivo2start.sh");
  EXPECT_EQ(testsupport::ReadFile(target_ + "/kivo2"), testsupport::ReadFile(ProgramFolder() + "kivo2"));
  EXPECT_TRUE(access((target_ + "/kivo2").c_str(), X_OK) == 0);
  EXPECT_EQ(testsupport::ReadFile(target_ + "/locale/nl/LC_MESSAGES/default.mo"),
            testsupport::ReadFile(ProgramFolder() + "locale/nl/LC_MESSAGES/default.mo"));
  for (const char* page : {"help/en/contents.html", "help/nl/contexts.ini"})
    EXPECT_EQ(testsupport::ReadFile(target_ + "/" + page), testsupport::ReadFile(ProgramFolder() + page)) << page;
  if (!jpegtran_.empty()) {
    // The drive holds the program itself, not a link to this system's.
    EXPECT_FALSE(fs::is_symlink(target_ + "/jpegtran/jpegtran"));
    EXPECT_EQ(testsupport::ReadFile(target_ + "/jpegtran/jpegtran"), testsupport::ReadFile(jpegtran_));
  }
  EXPECT_EQ(testsupport::ReadFile(target_ + "/usb_drive.on"),
            "Do'nt remove this file!\r\nWithout this file Kivo2 will act as a normal version.\r\n" +
                std::string(54, '-') +
                "\r\nDit bestand niet verwijderen!\r\nZonder dit bestand werkt Kivo2 als een normale versie.\r\n");
  EXPECT_EQ(testsupport::ReadFile(target_ + "/Kivo2_usb.ini"), "[U3]\r\nLanguage=en\r\n");
  EXPECT_FALSE(fs::exists(target_ + "/usb_copy.unfinished"));
  EXPECT_EQ(testsupport::ReadFile("/dev/shm/kivostart.ini"), stick_.substr(8) + "/KIVO2_USB/kivo2\r\n");
  EXPECT_FALSE(fs::exists(stick_ + "/Autorun.inf") || fs::exists("/dev/shm/Autorun.inf"));

  // Started from its script with a fresh home: everything it keeps stays on the drive.
  const std::string home = testsupport::TempPath("host");
  for (const char* d : {"config", "data", "cache"}) fs::create_directories(home + "/" + d);
  EnvironmentGuard guard({{"HOME", home},
                          {"XDG_CONFIG_HOME", home + "/config"},
                          {"XDG_DATA_HOME", home + "/data"},
                          {"XDG_CACHE_HOME", home + "/cache"},
                          {"KIVO2_REGISTRY_DIR", std::nullopt},
                          {"KIVO2_CLOSE_AFTER_MS", "1500"},
                          {"QT_QPA_PLATFORM", "offscreen"}});
  auto run = testsupport::Run({"sh", "/dev/shm/kivo2start.sh", folder_ + "a.png"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string ini = testsupport::ReadFile(target_ + "/Kivo2_usb.ini");
  EXPECT_NE(ini.find("[U3]\r\n"), std::string::npos);
  EXPECT_NE(ini.find("\r\nLastPath="), std::string::npos) << ini;
  for (const char* d : {"config", "data", "cache"})
    EXPECT_TRUE(fs::is_empty(home + "/" + d)) << d << " was written: " << fs::begin(fs::recursive_directory_iterator(home + "/" + d))->path();
}

TEST_F(StandAloneTest, ASecondCopyAsksFirstAndAFailedFileIsReported) {
  Create({mrYes}, 1);
  // The second run asks about the folder that is not empty; No leaves it.
  testsupport::WriteFile(target_ + "/cam_equivalent.kv2", "changed");
  Create({mrYes, mrNo}, 0);
  EXPECT_EQ(testsupport::ReadFile(target_ + "/cam_equivalent.kv2"), "changed");
  // Yes replaces the files; a catalogue that cannot be written is named, not hidden by success.
  {
    TFileFaultScope full(TFileFaultOp::Write, ENOSPC, "KIVO2_USB/locale", 0, -1);
    Create({mrYes, mrYes}, 1);
    EXPECT_GT(full.Hits(), 0);
  }
  EXPECT_EQ(LastMessage(), "Error creating Stand Alone version - check target drive space!\n"
                           "locale/nl/LC_MESSAGES/default.mo\nlocale/nl/LC_MESSAGES/corvo.mo\nNo space left on device");
  EXPECT_TRUE(fs::exists(target_ + "/usb_copy.unfinished"));
  // A read-only drive is named so, after the text of the space.
  TFileFaultScope readOnly(TFileFaultOp::Open, EROFS, target_, 0, -1);
  Create({mrYes, mrYes}, 1);
  EXPECT_EQ(LastMessage(), "Error creating Stand Alone version - check target drive space!\nCannot create file \"" +
                               target_ + "/usb_copy.unfinished\". Read-only file system");
  EXPECT_EQ(testsupport::ReadFile(target_ + "/cam_equivalent.kv2"),
            testsupport::ReadFile(ProgramFolder() + "cam_equivalent.kv2"));
  // The old catalogue stays whole where the new one could not be written.
  EXPECT_EQ(testsupport::ReadFile(target_ + "/locale/nl/LC_MESSAGES/default.mo"),
            testsupport::ReadFile(ProgramFolder() + "locale/nl/LC_MESSAGES/default.mo"));
}

TEST_F(StandAloneTest, AFolderOnAFixedDiskIsRefusedWithNothingWritten) {
  const std::string fixed = testsupport::TempPath("disk");
  fs::create_directories(fixed);
  if (DriveKind(fixed) != 2) GTEST_SKIP() << "the sandbox is not on a fixed disk";
  Form1->QzDirTree211->SetSelectedPath(fixed);
  ExpectMessage("Harddisk selected, select a removable drive at the navigation panel first");
  Form1->CreateUSBKivo21->Click();
  EXPECT_TRUE(fs::is_empty(fixed));
}
