// The preferences dialog's system options (the desktop launcher, checked with
// desktop-file-validate and started with gio, and the stand-alone marker as the start-up
// reads it) and its Dutch texts, checked against the compiled catalogue with msgunfmt.
#include <sys/stat.h>

#include <sstream>

#include "PreferencesFixture.h"
#include "core/StartUp.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Spin.h"
#include "platform/rtl/SysUtils.h"

namespace {

namespace fs = std::filesystem;

class PreferencesSystemTest : public PreferencesFixture {
 protected:
  void SetUp() override {
    PreferencesFixture::SetUp();
    desktop_ = GetEnvironmentVariable("HOME") + "/Schreibtisch";
    fs::create_directories(desktop_);
    fs::create_directories(GetEnvironmentVariable("XDG_CONFIG_HOME"));
    testsupport::WriteFile(GetEnvironmentVariable("XDG_CONFIG_HOME") + "/user-dirs.dirs",
                           "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  }
  std::string Marker(const std::string& name) const { return programDir_ + "/" + name; }
  void ClickUsb() {
    Settings()->USB_Button->SetVisible(true);  // Ctrl+D in the main window shows it
    Settings()->USB_Button->Click();
  }
  std::string desktop_;
};

TEST_F(PreferencesSystemTest, DesktopLauncherStartsTheProgramFromItsFolderAndIsRemovedAgain) {
  // The program the launcher starts records its working folder.
  const std::string out = testsupport::TempDir() + "/started.txt";
  testsupport::WriteFile(programDir_ + "/kivo2", "#!/bin/sh\npwd > '" + out + ".part'\nmv '" + out + ".part' '" +
                                                     out + "'\n");
  chmod((programDir_ + "/kivo2").c_str(), 0755);
  const std::string launcher = desktop_ + "/Kivo2.desktop";
  Show([&] {
    EXPECT_EQ(Settings()->BShortCut->Caption(), "Add shortcut to the desktop");
    Settings()->BShortCut->Click();
    EXPECT_TRUE(fs::exists(launcher));
    EXPECT_EQ(Settings()->BShortCut->Caption(), "Remove shortcut from the desktop");
  });
  if (!testsupport::ToolPath("desktop-file-validate").empty()) {
    const auto valid = testsupport::Run({"desktop-file-validate", launcher});
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
  }
  if (!testsupport::ToolPath("gio").empty()) {
    ASSERT_EQ(testsupport::Run({"gio", "launch", launcher}).exitCode, 0);
    for (int i = 0; i < 100 && !fs::exists(out); ++i) Sleep(50);
    EXPECT_EQ(testsupport::ReadFile(out), programDir_ + "\n");
  }

  // Opened again the button offers removal; a read-only launcher goes too.
  chmod(launcher.c_str(), 0444);
  Show([&] {
    EXPECT_EQ(Settings()->BShortCut->Caption(), "Remove shortcut from the desktop");
    Settings()->BShortCut->Click();
    EXPECT_FALSE(fs::exists(launcher));
    EXPECT_EQ(Settings()->BShortCut->Caption(), "Add shortcut to the desktop");
  });
}

TEST_F(PreferencesSystemTest, StandAloneMarkerIsWrittenAndDeletedAsTheStartUpSeesIt) {
  testsupport::WriteFile(Marker("Kivo2_usb.ini"), "[U3]\r\nLanguage=nl\r\n");
  Show([&] {
    EXPECT_EQ(Settings()->USB_Button->Caption(), "Enable Kivo2 USB drive stand alone mode");
    Answer(mrNo);
    ClickUsb();
    EXPECT_FALSE(fs::exists(Marker("usb_drive.on")));

    Answer(mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    ClickUsb();
    EXPECT_EQ(testsupport::ReadFile(Marker("usb_drive.on")), "Kivo2 USB on/off file\r\n");
    EXPECT_EQ(Settings()->USB_Button->Caption(), "Disable Kivo2 USB drive stand alone mode");
  });
  EXPECT_EQ(QuestionTexts().back(), "Enable this only when the Kivo2 is on a removable drive, like an USB pen/drive\n"
                                    "Are you sure to enable this mode?");
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"You need to restart Kivo2 now to enable stand alone mode!."});
  // The next start reads the stand-alone store.
  InitProgramLanguageFor(programDir_);
  EXPECT_EQ(UiLanguageCode, "nl");
  UiLanguageCode = "en";

  Show([&] {
    EXPECT_EQ(Settings()->USB_Button->Caption(), "Disable Kivo2 USB drive stand alone mode");
    Answer(mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    ClickUsb();
    EXPECT_FALSE(fs::exists(Marker("usb_drive.on")));
    EXPECT_EQ(Settings()->USB_Button->Caption(), "Enable Kivo2 USB drive stand alone mode");
  });
  EXPECT_EQ(MessageTexts().back(), "You need to restart Kivo2 now!.");
  EXPECT_FALSE(ProgramMarkerExists(programDir_, "usb_drive.on"));
}

TEST_F(PreferencesSystemTest, BothMarkersTakeTheEnableBranchAndNoMarkerIsDoubled) {
  testsupport::WriteFile(Marker("USB_Drive.ON"), "old\n");
  testsupport::WriteFile(Marker("usb_drive.off"), "");
  Show([&] {
    Answer(mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    ClickUsb();
  });
  EXPECT_FALSE(fs::exists(Marker("usb_drive.off")));
  EXPECT_EQ(testsupport::ReadFile(Marker("USB_Drive.ON")), "Kivo2 USB on/off file\r\n");
  EXPECT_FALSE(fs::exists(Marker("usb_drive.on")));
}

TEST_F(PreferencesSystemTest, AMarkerThatCannotBeChangedIsReportedAsFailure) {
  // A program folder that cannot take the marker.
  Form1->FProgramDir = testsupport::TempDir() + "/gone/";
  Show([&] {
    Answer(mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    ClickUsb();
  });
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{testsupport::TempDir() +
                                                     "/gone/usb_drive.on could not be written: stand alone mode "
                                                     "stays off."});
  EXPECT_EQ(Settings()->USB_Button->Caption(), "Enable Kivo2 USB drive stand alone mode");

  // A marker that cannot be deleted (here a folder of that name with content in it).
  Form1->FProgramDir = programDir_ + "/";
  fs::create_directories(Marker("usb_drive.on/keep"));
  Show([&] {
    Answer(mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    ClickUsb();
  });
  EXPECT_EQ(MessageTexts().back(), Marker("usb_drive.on") + " could not be deleted: stand alone mode stays on.");
  EXPECT_TRUE(fs::exists(Marker("usb_drive.on/keep")));
}

// A dialog made under Dutch shows the catalogue's translations, in its tree too; the
// stand-alone button stays English.
TEST_F(PreferencesSystemTest, ADialogMadeUnderDutchShowsItsTranslations) {
  KIVO2_REQUIRE_TOOL("msgunfmt");
  const auto dutch = testsupport::DutchTranslations();
  UseLanguage("nl");
  auto* dialog = new TFormSettings(Application);
  EXPECT_EQ(dialog->Caption(), dutch.at("Preferences"));
  EXPECT_EQ(dialog->TreeView1->Items()->Item(4)->Text(), dutch.at("Language"));
  EXPECT_EQ(dialog->ZqFast->Caption(), dutch.at("High settings (slowest)"));
  EXPECT_EQ(dialog->USB_Button->Caption(), FormSettings->USB_Button->Caption());
}

TEST_F(PreferencesSystemTest, MessagesOfTheDialogAreDutchUnderDutch) {
  SetAssociated({".AVI"});
  UseLanguage("nl");
  Show([&] {
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Settings()->Edit1->SetText("jpg");
    Settings()->Button3->Click();
    Answer(mrNo);
    Settings()->ZqNormal->Click();
  });
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Extensie .JPG wordt al door de afbeeldingsviewer gebruikt"});
  EXPECT_EQ(QuestionTexts(), std::vector<std::string>{"Het programma gebruikt een configuratie met de "
                                                      "standaardinstellingen,\nbruikbaar voor de meeste systemen, "
                                                      "doorgaan?"});
}

}  // namespace
