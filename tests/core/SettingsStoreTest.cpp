// The settings store: the designed defaults of every stored value, full round trips
// through the registry stand-in and the stand-alone ini (the ini read back with Python's
// configparser, the drive of a path found with df), stores of older builds, values of
// the wrong type, hostile values, the special steps and a failed save.
#include <filesystem>
#include <map>
#include <set>

#include "Kivo2Version.h"
#include "MainWindowFixture.h"
#include "controls/EventScrollbox.h"
#include "controls/ZqSpeedButton.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "metadata/windows/ExifInfoUnit2.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/ModalResponder.h"
#include "platform/rtl/Classes.h"
#include "tools/CalcAspectForm.h"
#include "tools/UnitAnalize.h"
#include "tools/UnitFloatButtons.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"
#include "tools/UnitSearch.h"

namespace fs = std::filesystem;

namespace {

// Values whose save takes them from another place than the load puts them, or whose
// load is followed by a step of its own; the tests treat them one by one.
const std::set<std::string> kSpecial{"Version",  "LastPath",       "WebFolder",     "Associated",   "WinStatusMain",
                                     "WinStatusTop", "WinStatusLeft", "WinStatusWidth", "WinStatusHeight", "Prefix",
                                     "WebSettings", "StretchSmall",  "Filter",        "AnalizeSubs",  "R_MouseSelect",
                                     "SortNone",  "SortDate",       "SortSize",      "SortName",     "SortPhotoDate",
                                     "SortNameNo", "Cached fixed"};

// A value other than the default that every target can hold.
TSettingValue OtherValue(const TSettingRow& row) {
  TSettingValue v = row.Default();
  switch (row.Kind) {
    case TSettingKind::Bool:
      v.Int = v.Int ? 0 : 1;
      break;
    case TSettingKind::Integer:
      v.Int += 1;
      break;
    case TSettingKind::Text:
      v.Text = "text of " + row.Name + " with blanks, a \\ backslash, \"quotes\" and \xc3\xa9";
      break;
  }
  return v;
}

// Section U3 of an ini file as Python's configparser reads it (names keep their case).
std::map<std::string, std::string> IniValues(const std::string& file) {
  auto result = testsupport::Run(
      {"python3", "-c",
       "import configparser,sys\n"
       "c=configparser.RawConfigParser(strict=False)\n"
       "c.optionxform=str\n"
       "c.read(sys.argv[1],encoding='utf-8')\n"
       "for k,v in c.items('U3'): sys.stdout.write(k+'\\0'+v+'\\0')\n",
       file});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::map<std::string, std::string> values;
  size_t at = 0;
  while (at < result.out.size()) {
    size_t a = result.out.find('\0', at);
    size_t b = result.out.find('\0', a + 1);
    if (a == std::string::npos || b == std::string::npos) break;
    values[result.out.substr(at, a - at)] = result.out.substr(a + 1, b - a - 1);
    at = b + 1;
  }
  return values;
}

// The mount point that holds path, as df reports it.
std::string MountOf(const std::string& path) {
  auto result = testsupport::Run({"df", "--output=target", path});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::string out = result.out;
  size_t nl = out.find('\n');
  out = out.substr(nl + 1);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// "/media/x/My Photos/" on the drive "/media/x" as the stand-alone ini keeps it.
std::string WindowsForm(const std::string& path, const std::string& mount) {
  std::string rest = mount == "/" ? path : path.substr(mount.size());
  for (char& c : rest)
    if (c == '/') c = '\\';
  return ":" + rest;
}

class SettingsTest : public MainWindowTest {
 protected:
  // The settings of the windows, loaded as the first showing loads them.
  void Load(bool standAlone = false) {
    if (standAlone) testsupport::WriteFile(ProgramFolder() + "usb_drive.on", "");
    CreateWindows();
    Form1->FAppDir = standAlone ? ProgramFolder() : testsupport::TempPath("appdata") + "/";
    fs::create_directories(Form1->FAppDir);
    Form1->GetUserSettingsFromReg();
  }
  // A folder of the sandbox, made.
  std::string Folder(const std::string& name) {
    const std::string path = testsupport::TempPath(name);
    fs::create_directories(path);
    return path;
  }
  void Reload() {
    const bool standAlone = Form1->FUsbMode;
    DoneApplication();
    Application->Initialize();
    Load(standAlone);
  }
  const TSettingRow* Row(const std::vector<TSettingRow>& rows, const std::string& name) {
    for (const TSettingRow& row : rows)
      if (row.Name == name) return &row;
    ADD_FAILURE() << "no row " << name;
    return nullptr;
  }
  // Gives every ordinary value another value than its default, and the special ones
  // values of their own; returns what the ordinary ones should read after a reload.
  std::map<std::string, TSettingValue> ChangeEverything(const std::string& lastPath, const std::string& webFolder) {
    std::map<std::string, TSettingValue> expected;
    for (TSettingRow& row : Form1->SettingsTable()) {
      if (kSpecial.count(row.Name)) continue;
      TSettingValue v = OtherValue(row);
      row.Load(v);
      EXPECT_EQ(row.Save(), v) << row.Name << " cannot hold the test value";
      expected[row.Name] = v;
    }
    Form1->PoDate->SetChecked(true);
    Form1->FLastPath = lastPath;
    Form1->FWebFolder = webFolder;
    Form1->FAssociatedList->Clear();
    Form1->FAssociatedList->Add(".MKV");
    Form1->FAssociatedList->Add(".avi");
    SaveToFolderForm->PrefixText->SetText("web copy_");
    FormSaveImage->PanelSettings->SetVisible(true);
    FormSaveImage->Ch_Strech->SetChecked(true);
    FormSaveImage->Ch_Filter->SetChecked(false);
    FormAnalize->ChB_Subs->SetChecked(true);
    Form1->Rightclickselect->SetChecked(true);
    Form1->SetWindowState(wsNormal);
    Form1->SetBounds(21, 32, 640, 480);
    UiLanguageCode = "nl";
    return expected;
  }
  void ExpectEverythingBack(const std::map<std::string, TSettingValue>& expected, const std::string& lastPath,
                            const std::string& webFolder) {
    for (TSettingRow& row : Form1->SettingsTable()) {
      if (expected.count(row.Name)) {
        EXPECT_EQ(row.Save(), expected.at(row.Name)) << row.Name;
      }
    }
    EXPECT_TRUE(Form1->PoDate->Checked());
    EXPECT_FALSE(Form1->PoName->Checked());
    EXPECT_EQ(Form1->FSortMode, 3);
    EXPECT_EQ(Form1->FLastPath, lastPath);
    EXPECT_EQ(Form1->FWebFolder, webFolder);
    EXPECT_EQ(Form1->FAssociatedList->Count(), 2);
    EXPECT_EQ(Form1->FAssociatedList->Strings(1), ".avi");
    EXPECT_EQ(Form1->FPrefix, "web copy_");
    EXPECT_TRUE(Form1->FWebSettings);
    EXPECT_TRUE(Form1->FStretchSmall);
    EXPECT_FALSE(Form1->FFilter);
    EXPECT_TRUE(Form1->FAnalizeSubs);
    EXPECT_FALSE(Form1->Rightclickselect->Checked());
    EXPECT_EQ(Form1->FWinStatusMain, 1);
    EXPECT_EQ(Form1->FWinStatusWidth, 640);
    EXPECT_EQ(Form1->FWinStatusHeight, 480);
    EXPECT_EQ(Form1->FStoredVersion, ThisBuild());
  }
};

}  // namespace

TEST_F(SettingsTest, EveryValueOfAFreshStoreHasItsDesignedDefault) {
  Load();
  const std::set<std::string> notCompared{"Version",     "WinStatusMain",   "WinStatusTop", "WinStatusLeft",
                                          "WinStatusWidth", "WinStatusHeight", "Associated",  "WebFolder"};
  int compared = 0;
  for (TSettingRow& row : Form1->SettingsTable()) {
    if (notCompared.count(row.Name)) continue;
    EXPECT_EQ(row.Save(), row.Default()) << row.Name;
    ++compared;
  }
  EXPECT_EQ(compared, 130);
  EXPECT_EQ(Form1->FStoredVersion, 0);
  EXPECT_EQ(Form1->FSortMode, 1);
  EXPECT_EQ(Form1->FAssociatedList->Count(), 8);
  EXPECT_EQ(Form1->FWebFolder, Form1->FAppDir + "Kivo e-mail images");
  EXPECT_TRUE(fs::is_directory(Form1->FWebFolder));
}

TEST_F(SettingsTest, TheTableAndTheSaveOrderNameEveryValueOnce) {
  Load();
  std::vector<std::string> loaded;
  for (const TSettingRow& row : Form1->SettingsTable()) loaded.push_back(row.Name);
  EXPECT_EQ(loaded.size(), 138u);
  std::vector<std::string> saved = TForm1::SettingsSaveOrder();
  EXPECT_EQ(saved.size(), 140u);
  std::set<std::string> unique(saved.begin(), saved.end());
  EXPECT_EQ(unique.size(), saved.size());
  for (const std::string& name : loaded) EXPECT_EQ(unique.count(name), 1u) << name;
  EXPECT_EQ(saved.front(), "InstallFolder");
  EXPECT_EQ(saved[1], "Version");
  EXPECT_EQ(saved.back(), "WinStatusMain");
  auto before = [&](const std::string& a, const std::string& b) {
    return std::find(saved.begin(), saved.end(), a) < std::find(saved.begin(), saved.end(), b);
  };
  EXPECT_TRUE(before("Fit in screen", "Center large"));
  EXPECT_TRUE(before("Fade", "MainMenu"));
  EXPECT_TRUE(before("PrinterCustomW", "PrinterCustomH"));
  EXPECT_TRUE(before("CardPrefix", "PlayMemo"));
  EXPECT_TRUE(before("EForm_W", "Language"));
}

TEST_F(SettingsTest, RegistryRoundTripKeepsEveryValueExactly) {
  Load();
  const std::string lastPath = Folder("Photo Album/2004 Trip") + "/";
  const std::string webFolder = Folder("Web out");
  auto expected = ChangeEverything(lastPath, webFolder);
  ASSERT_TRUE(Form1->WriteUserSettingsToReg());

  // The file, read as text.
  auto values = UserRegistryValues(RegistryFile());
  EXPECT_EQ(values.size(), 140u);
  for (const std::string& name : TForm1::SettingsSaveOrder()) EXPECT_EQ(values.count(name), 1u) << name;
  EXPECT_EQ(values["Version"], Dword(ThisBuild()));
  EXPECT_EQ(values["LastPath"], "\"" + lastPath + "\"");
  EXPECT_EQ(values["InstallFolder"], "\"" + ProgramFolder().substr(0, ProgramFolder().size() - 1) + "\"");
  EXPECT_EQ(values["Associated"], "\".MKV;.avi;\"");
  EXPECT_EQ(values["Fit in screen"], Dword(0));
  EXPECT_EQ(values["PictBackground"], Dword(0xFF000006));
  EXPECT_EQ(values["WinStatusMain"], Dword(1));
  EXPECT_EQ(values["Language"], "\"nl\"");
  EXPECT_EQ(values["SearchString"],
            "\"text of SearchString with blanks, a \\\\ backslash, \\\"quotes\\\" and \xc3\xa9\"");

  Reload();
  ExpectEverythingBack(expected, lastPath, webFolder);
}

TEST_F(SettingsTest, IniRoundTripKeepsPathsWithoutTheDriveAndNeverTouchesTheRegistry) {
  KIVO2_REQUIRE_TOOL("python3");
  Load(true);
  ASSERT_TRUE(Form1->FUsbMode);
  EXPECT_TRUE(Form1->Usb_Image->Visible());
  const std::string lastPath = Folder("Photo Album/2004 Trip") + "/";
  const std::string webFolder = Folder("Web out");
  auto expected = ChangeEverything(lastPath, webFolder);
  ASSERT_TRUE(Form1->WriteUserSettingsToReg());

  const std::string mount = MountOf(ProgramFolder());
  auto values = IniValues(ProgramFolder() + "Kivo2_usb.ini");
  EXPECT_EQ(values.size(), 140u);
  for (const std::string& name : TForm1::SettingsSaveOrder()) EXPECT_EQ(values.count(name), 1u) << name;
  EXPECT_EQ(values["LastPath"], WindowsForm(lastPath, mount));
  EXPECT_EQ(values["WebFolder"], WindowsForm(webFolder, mount));
  EXPECT_EQ(values["InstallFolder"], WindowsForm(ProgramFolder(), mount));
  EXPECT_EQ(values["PictBackground"], "-16777210");
  EXPECT_EQ(values["Fit in screen"], "0");
  EXPECT_EQ(values["Recursive"], "0");
  EXPECT_EQ(values["Version"], std::to_string(ThisBuild()));
  EXPECT_EQ(values["SearchString"], "text of SearchString with blanks, a \\ backslash, \"quotes\" and \xc3\xa9");

  Reload();
  // The stand-alone load unchecks and hides the fixed-disk cache option and disables the
  // preferences' desktop launcher.
  expected.erase("Cached fixed");
  ExpectEverythingBack(expected, lastPath, webFolder);
  EXPECT_FALSE(Form1->M_CacheonlyFixedDiskfiles->Checked());
  EXPECT_FALSE(Form1->M_CacheonlyFixedDiskfiles->Visible());
  EXPECT_FALSE(FormSettings->BShortCut->Enabled());
  EXPECT_TRUE(fs::is_empty(GetEnvironmentVariable("KIVO2_REGISTRY_DIR")));
}

TEST_F(SettingsTest, FreshStandAloneIniStartsOnTheProgramsDrive) {
  testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini", "[U3]\r\nLanguage=en\r\n");
  Load(true);
  const std::string mount = MountOf(ProgramFolder());
  EXPECT_EQ(Form1->FLastPath, mount == "/" ? "/" : mount + "/");
  EXPECT_EQ(Form1->FWebFolder, mount);
  EXPECT_TRUE(Form1->FUsbMode);
  // A path stored by another copy under another drive letter lands on this drive.
  DoneApplication();
  Application->Initialize();
  const std::string album = testsupport::TempPath("Album");
  fs::create_directories(album);
  testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini",
                         "[U3]\r\nLastPath=" + WindowsForm(album + "/", mount) + "\r\n");
  Load(true);
  EXPECT_EQ(Form1->FLastPath, album + "/");
}

TEST_F(SettingsTest, OlderStoreMissingValuesKeepsEveryOtherOne) {
  // No "EForm_T" and no "DigiFactor": the values after them are loaded all the same.
  WriteRegistry({"\"Version\"=dword:00000450", "\"Fit in screen\"=dword:00000000", "\"FilmFactor\"=\"50\"",
                 "\"EForm_L\"=dword:00000064", "\"WinStatusMain\"=dword:00000001", "\"Associated\"=\".MKV;\"",
                 "\"SearchString\"=\"holiday\""});
  Load();
  EXPECT_EQ(Form1->FStoredVersion, 1104);
  EXPECT_FALSE(Form1->ZqFitInScreen->Down());
  EXPECT_EQ(Form1->FDigiFactor, "8,2");
  EXPECT_EQ(Form1->FFilmFactor, "50");
  EXPECT_EQ(ExifInfoForm->Left(), 100);
  EXPECT_EQ(Form1->FWinStatusMain, 1);
  EXPECT_EQ(Form1->FAssociatedList->Count(), 1);
  EXPECT_EQ(SearchForm->EditSearch->Text(), "holiday");
}

TEST_F(SettingsTest, ValuesOfTheWrongTypeKeepTheirDefaults) {
  WriteRegistry({"\"Fit in screen\"=\"yes\"", "\"SlideDelay\"=\"5\"", "\"DigiFactor\"=dword:00000005",
                 "\"ThumbSize\"=hex:01,00,00,00", "\"Recursive\"=dword:00000000", "\"SearchString\"=\"later\""});
  Load();
  EXPECT_TRUE(Form1->ZqFitInScreen->Down());
  EXPECT_EQ(Form1->FSlideDelay, 2);
  EXPECT_EQ(Form1->FDigiFactor, "8,2");
  EXPECT_EQ(Form1->FThumbSize, 0);
  EXPECT_FALSE(Form1->M_Recursive->Checked());
  EXPECT_EQ(SearchForm->EditSearch->Text(), "later");
}

TEST_F(SettingsTest, IniTextsThatAreNoNumbersKeepTheDefaults) {
  testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini",
                         "[u3]\r\nfit in screen=maybe\r\nSlideDelay=7\r\nThumbSize= 2 \r\nNavigatorWidth=12x\r\n");
  Load(true);
  EXPECT_TRUE(Form1->ZqFitInScreen->Down());
  EXPECT_EQ(Form1->FSlideDelay, 7);
  EXPECT_EQ(Form1->FThumbSize, 2);
  EXPECT_EQ(Form1->PanelBrowse->Width(), 185);
}

TEST_F(SettingsTest, HostileValuesAreBounded) {
  WriteRegistry({"\"SlideDelay\"=dword:fffffffb", "\"NavigatorWidth\"=dword:000f423f",
                 "\"NavigatorHeight\"=dword:80000000", "\"Thumb Columns\"=dword:00000000",
                 "\"ResampleFilter\"=dword:00000063", "\"AnalizeMarks\"=dword:00000040",
                 "\"SearchString\"=\"" + std::string(40000, 'a') + "\"",
                 "\"Associated\"=\";;.X;;" + std::string(3000, ';') + [] {
                   std::string many;
                   for (int i = 0; i < 400; ++i) many += ".E" + std::to_string(i) + ";";
                   return many;
                 }() + "\""});
  Load();
  EXPECT_EQ(Form1->FSlideDelay, 2);
  EXPECT_EQ(Form1->PanelBrowse->Width(), 4000);
  EXPECT_EQ(Form1->PanelTrees->Height(), 20);
  EXPECT_EQ(Form1->FThumbColumns, 1);
  EXPECT_EQ(FormFilterSelect->RG_Resample->ItemIndex(), 2);
  EXPECT_EQ(FormAnalize->ComboBoxValue->ItemIndex(), -1);
  EXPECT_EQ(SearchForm->EditSearch->Text(), "");
  EXPECT_EQ(Form1->FAssociatedList->Count(), 256);
  EXPECT_EQ(Form1->FAssociatedList->Strings(0), ".X");
  EXPECT_EQ(Form1->Timer1->Interval(), 2000u);
}

// ---------------------------------------------------------------------------
// Special steps
// ---------------------------------------------------------------------------
TEST_F(SettingsTest, AspectToolBackupBoxHasAValueOfItsOwn) {
  // A store of an older build: "ASPR_Portrait" was written last by the backup box.
  WriteRegistry({"\"ASPR_Portrait\"=dword:00000001"});
  Load();
  EXPECT_FALSE(CalculateAspect->CB_ASPPortrait->Checked());
  EXPECT_TRUE(CalculateAspect->CB_BackupAspectR->Checked());
  DoneApplication();
  Application->Initialize();
  WriteRegistry({"\"ASPR_Portrait\"=dword:00000000"});
  Load();
  EXPECT_FALSE(CalculateAspect->CB_ASPPortrait->Checked());
  EXPECT_FALSE(CalculateAspect->CB_BackupAspectR->Checked());

  // This build keeps the two boxes apart.
  CalculateAspect->CB_ASPPortrait->SetChecked(true);
  CalculateAspect->CB_BackupAspectR->SetChecked(false);
  ASSERT_TRUE(Form1->WriteUserSettingsToReg());
  auto values = UserRegistryValues(RegistryFile());
  EXPECT_EQ(values["ASPR_Portrait"], Dword(1));
  EXPECT_EQ(values["ASPR_CreateBackup"], Dword(0));
  Reload();
  EXPECT_TRUE(CalculateAspect->CB_ASPPortrait->Checked());
  EXPECT_FALSE(CalculateAspect->CB_BackupAspectR->Checked());
}

TEST_F(SettingsTest, SortItemsAreOneRadioGroup) {
  WriteRegistry({"\"SortNone\"=dword:00000000", "\"SortDate\"=dword:00000000", "\"SortSize\"=dword:00000000",
                 "\"SortName\"=dword:00000000", "\"SortPhotoDate\"=dword:00000000", "\"SortNameNo\"=dword:00000000"});
  Load();
  for (TMenuItem* item : {Form1->PoNone, Form1->PoDate, Form1->PoSize, Form1->PoName, Form1->PoPhotodate,
                          Form1->PoNameNo})
    EXPECT_FALSE(item->Checked()) << item->Name();
  EXPECT_EQ(Form1->FSortMode, 1);
  DoneApplication();
  Application->Initialize();
  WriteRegistry({"\"SortSize\"=dword:00000001", "\"SortName\"=dword:00000001"});
  Load();
  EXPECT_TRUE(Form1->PoName->Checked());
  EXPECT_FALSE(Form1->PoSize->Checked());
  EXPECT_EQ(Form1->FSortMode, 1);
  DoneApplication();
  Application->Initialize();
  WriteRegistry({"\"SortName\"=dword:00000000", "\"SortPhotoDate\"=dword:00000001"});
  Load();
  EXPECT_EQ(Form1->FSortMode, 6);
}

TEST_F(SettingsTest, DerivedStatesFollowTheLoadedValues) {
  ModalResponder::SetScreenSize(1024, 768);
  WriteRegistry({"\"FloatBLeft\"=dword:0000076c", "\"FloatBTop\"=dword:000007d0", "\"R_MouseSelect\"=dword:00000001",
                 "\"Browser\"=dword:00000000", "\"Favorites\"=dword:00000001", "\"Preview\"=dword:00000001",
                 "\"ShowAllFiles\"=dword:00000001", "\"Cached thumbs\"=dword:00000000", "\"SlideDelay\"=dword:00000009",
                 "\"PictBackground\"=dword:000000ff"});
  Load();
  EXPECT_EQ(FormFloatB->Left(), 40);
  EXPECT_EQ(FormFloatB->Top(), 40);
  EXPECT_FALSE(Form1->Rightclickselect->Checked());
  EXPECT_TRUE(Form1->ZqBrowsePanel->Down());
  EXPECT_FALSE(Form1->ChB_CloseOnClick->Enabled());
  EXPECT_FALSE(Form1->Splitter1->Visible());
  EXPECT_TRUE(Form1->ZqFavoriteslist->Down());
  EXPECT_TRUE(Form1->Splitter3->Visible());
  EXPECT_TRUE(Form1->M_Preview->Checked());
  EXPECT_TRUE(Form1->ZqShowAll->Down());
  EXPECT_FALSE(Form1->CreateallthumbsforSelTree->Enabled());
  EXPECT_EQ(Form1->LabelDelay->Caption(), "9");
  EXPECT_EQ(Form1->Timer1->Interval(), 9000u);
  EXPECT_EQ(Form1->ScrollBox1->Color(), clRed);
}

TEST_F(SettingsTest, AssociatedTextGivesTheExtensionsBeforeEachSemicolon) {
  Load();
  Form1->StringToAssociatedList(".AVI;.MOV");
  ASSERT_EQ(Form1->FAssociatedList->Count(), 1);
  EXPECT_EQ(Form1->FAssociatedList->Strings(0), ".AVI");
  Form1->StringToAssociatedList("");
  EXPECT_EQ(Form1->FAssociatedList->Count(), 1);
  Form1->StringToAssociatedList(".mov;.Mp4;");
  ASSERT_EQ(Form1->FAssociatedList->Count(), 2);
  EXPECT_EQ(Form1->FAssociatedList->Strings(1), ".Mp4");
}

TEST_F(SettingsTest, LocalMachineMarkerUsesTheOtherRoot) {
  testsupport::WriteFile(ProgramFolder() + "localmachinekey.on", "");
  testsupport::WriteFile(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_LOCAL_MACHINE.reg",
                         "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kivo\\Kivo2]\r\n\"SlideDelay\"=dword:00000004\r\n");
  WriteRegistry({"\"SlideDelay\"=dword:00000008"});
  Load();
  EXPECT_EQ(Form1->FSlideDelay, 4);
  Form1->FSlideDelay = 6;
  ASSERT_TRUE(Form1->WriteUserSettingsToReg());
  auto machine = RegistryValues(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_LOCAL_MACHINE.reg",
                                "[HKEY_LOCAL_MACHINE\\Software\\Kivo\\Kivo2]");
  EXPECT_EQ(machine["SlideDelay"], Dword(6));
  auto user = UserRegistryValues(RegistryFile());
  EXPECT_EQ(user["SlideDelay"], Dword(8));
}

TEST_F(SettingsTest, FailedSaveIsReportedOnce) {
  // The registry's folder lies below a file: nothing can be written there.
  const std::string blocker = testsupport::TempPath("blocker");
  testsupport::WriteFile(blocker, "");
  setenv("KIVO2_REGISTRY_DIR", (blocker + "/registry").c_str(), 1);
  Load();
  std::string message;
  ModalResponder::Expect(ModalKind::ShowMessage, [&](ModalRequest& request) {
    message = request.text;
    return int(mrOk);
  });
  EXPECT_FALSE(Form1->WriteUserSettingsToReg());
  EXPECT_FALSE(Form1->WriteUserSettingsToReg());
  EXPECT_EQ(ModalResponder::Pending(), 0);
  EXPECT_EQ(ModalResponder::History().size(), 1u);
  EXPECT_EQ(message.rfind("Your settings could not be saved:", 0), 0u) << message;
}

TEST_F(SettingsTest, FailedIniSaveIsReported) {
  Load(true);
  fs::create_directories(ProgramFolder() + "Kivo2_usb.ini");
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  EXPECT_FALSE(Form1->WriteUserSettingsToReg());
  EXPECT_EQ(ModalResponder::Pending(), 0);
}
