// The main window's hand-offs: the help window at a context number or a topic, and the
// shown picture as the desktop wallpaper.
#include <string>

#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "core/UnitFilterselect.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/HtmlHelp.h"
#include "platform/shell/Shell.h"

namespace {

// The key of the desktop values the wallpaper commands keep: the wallpaper the desktop had
// before the program first changed it.
constexpr char kDesktopKey[] = "\\Control Panel\\Desktop";
constexpr char kOriginal[] = "OriginalWallpaper";
constexpr char kOriginalUri[] = "OriginalWallpaperUri";
constexpr char kOriginalDarkUri[] = "OriginalWallpaperUriDark";
constexpr char kOriginalOptions[] = "OriginalWallpaperOptions";

void WriteDesktopValue(const char* name, const std::string& value) {
  WriteRegistryValue(HKEY_CURRENT_USER, kDesktopKey, name, value, 1);
}

std::string ReadDesktopValue(const char* name) { return ReadRegistryString(HKEY_CURRENT_USER, kDesktopKey, name); }

// Before the first change the desktop's own wallpaper is noted, so that it can be put back.
// False (error set) when the desktop's setting cannot be read: nothing is changed then.
bool RememberOriginalWallpaper(std::string& error) {
  if (!ReadDesktopValue(kOriginalOptions).empty()) return true;
  TWallpaperSetting setting;
  if (!ReadDesktopWallpaper(setting, error)) return false;
  WriteDesktopValue(kOriginal, setting.Picture);
  WriteDesktopValue(kOriginalUri, setting.Value);
  WriteDesktopValue(kOriginalDarkUri, setting.HasDarkValue ? setting.DarkValue : std::string());
  WriteDesktopValue(kOriginalOptions, setting.Options);
  return true;
}

}  // namespace

void TForm1::bindDesktopHandOffs() {
  WallpaperCenter->OnClick = [this](TObject* Sender) { WallpaperCenterClick(Sender); };
  WallpaperTiled1->OnClick = [this](TObject* Sender) { WallpaperTiled1Click(Sender); };
  WallpaperStreched1->OnClick = [this](TObject* Sender) { WallpaperStreched1Click(Sender); };
  showold1->OnClick = [this](TObject* Sender) { showold1Click(Sender); };
  RemoveWallpaper1->OnClick = [this](TObject* Sender) { RemoveWallpaper1Click(Sender); };
  for (TMenuItem* item : {Compresscompleettree1, XPCopyCompressTree1, Copyandcompresscompletetree1})
    item->OnClick = [this](TObject* Sender) { Compresscompleettree1Click(Sender); };
  CreateUSBKivo21->OnClick = [this](TObject* Sender) { CreateUSBKivo21Click(Sender); };
}

// ===========================================================================
// Help
// ===========================================================================
void TForm1::ShowHelpContext(int Context) {
  const std::string file = Application->HelpFile();
  THTMLHelpViewer& viewer = HtmlHelpViewer();
  if (!viewer.UnderstandsContext(Context, file) || !viewer.DisplayHelpByContext(Context, file))
    ShowMessage(Format(_("The help file %s cannot be opened."), {file}));
}

void TForm1::ShowHelpTopic(const std::string& Topic) {
  THTMLHelpViewer& viewer = HtmlHelpViewer();
  if (!viewer.UnderstandsTopic(Topic) || !viewer.DisplayTopic(Topic))
    ShowMessage(Format(_("The help file %s cannot be opened."), {Application->HelpFile()}));
}

// ===========================================================================
// Wallpaper
// ===========================================================================
std::string TForm1::WallpaperFileName() const { return FAppDir + "kivo2wallpaper.bmp"; }

void TForm1::SetWallpaper(const std::string& FileName, int Style, int Tile) {
  // Nothing is shown: there is no picture to make a wallpaper of.
  if (!FSourcePicture || !FSourcePicture->Graphic() || FSourcePicture->Graphic()->Empty()) return;
  HourGlassCursor();
  if (ZqFitInScreen->Down() && FSourcePicture->Height() < Screen->Height() &&
      FSourcePicture->Width() < Screen->Width())
    ShowMessage(_("Note: For better wallpaper results disable \"fit larger pictures\" before creating a wallpaper!"));
  // The picture is written and checked first; the desktop is changed only when it is there.
  FExactRescale = true;
  TPicture scaled;
  RescaleImage(FSourcePicture.get(), &scaled, Screen->Height(), Screen->Width(), false,
               FormFilterSelect->RG_Resample->ItemIndex());
  FExactRescale = false;
  bool written = false;
  if (!FFitError && scaled.Graphic() && !scaled.Graphic()->Empty()) {
    TBitmap bitmap;
    bitmap.Assign(scaled.Graphic());
    try {
      bitmap.SaveToFile(FileName);
      written = FileExists(FileName);
    } catch (const Exception&) {
      written = false;
    }
  }
  Application->ProcessMessages();
  if (!written) {
    Screen->SetCursor(crDefault);
    ShowMessage(Format(_("The wallpaper picture %s could not be written."), {FileName}));
    return;
  }
  const TWallpaperStyle style = Tile == 1 ? TWallpaperStyle::Tiled
                                : Style == 2 ? TWallpaperStyle::Stretched
                                             : TWallpaperStyle::Centered;
  std::string error;
  const bool set = RememberOriginalWallpaper(error) && SetDesktopWallpaper(FileName, style, error);
  Screen->SetCursor(crDefault);
  if (set)
    ShowMessage(_("Wallpaper created and set."));
  else
    ShowMessage(Format(_("The wallpaper could not be set: %s"), {error}));
}

void TForm1::WallpaperCenterClick(TObject* /*Sender*/) { SetWallpaper(WallpaperFileName(), 1, 0); }

void TForm1::WallpaperTiled1Click(TObject* /*Sender*/) { SetWallpaper(WallpaperFileName(), 1, 1); }

void TForm1::WallpaperStreched1Click(TObject* /*Sender*/) { SetWallpaper(WallpaperFileName(), 2, 0); }

void TForm1::RemoveWallpaper1Click(TObject* /*Sender*/) {
  std::string error;
  if (!RememberOriginalWallpaper(error) || !RemoveDesktopWallpaper(error)) {
    ShowMessage(Format(_("The wallpaper could not be removed: %s"), {error}));
    return;
  }
  // The picture goes only once the desktop no longer shows it.
  if (FileExists(WallpaperFileName())) ForceDeleteFile(WallpaperFileName());
}

void TForm1::showold1Click(TObject* /*Sender*/) {
  TWallpaperSetting setting;
  setting.Picture = ReadDesktopValue(kOriginal);
  // Plasma's own wallpapers are packages: a folder of pictures.
  if (setting.Picture.empty() || (!FileExists(setting.Picture) && !DirectoryExists(setting.Picture))) {
    ShowMessage(_("No previous wallpaper or wallpaper file not found."));
    return;
  }
  setting.Value = ReadDesktopValue(kOriginalUri);
  setting.DarkValue = ReadDesktopValue(kOriginalDarkUri);
  setting.HasDarkValue = !setting.DarkValue.empty();
  setting.Options = ReadDesktopValue(kOriginalOptions);
  std::string error;
  if (RestoreDesktopWallpaper(setting, error))
    ShowMessage(_("Wallpaper restored ") + " " + setting.Picture);
  else
    ShowMessage(Format(_("The wallpaper could not be restored: %s"), {error}));
}
