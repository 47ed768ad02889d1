// The settings store. Every setting is the state of a component or a field; the table
// below names each stored value with its kind, its default, where the save takes it from
// and where the load puts it. The store is the registry stand-in (key "Software\Kivo\"
// + AppKeyName) or, in stand-alone mode, the section "U3" of "Kivo2_usb.ini" beside the
// program.
//
// Each value is read on its own: a value the store lacks, or holds with another type,
// leaves its target as it is and the load goes on with the next one, so a store written
// by another build keeps all the values it does hold.
#include <algorithm>

#include "controls/EventScrollbox.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Spin.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "tools/CalcAspectForm.h"
#include "tools/PrintUnit.h"
#include "tools/UnitAbout.h"
#include "tools/UnitAnalize.h"
#include "tools/UnitBatchRename2.h"
#include "tools/UnitFloatButtons.h"
#include "tools/UnitGetMemorycard.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"
#include "tools/UnitSearch.h"

namespace {

const char* const kSection = "U3";
// The name under which the aspect tool's "Create backups" box is kept; older builds
// wrote that box under "ASPR_Portrait" (over the portrait box's own value).
const char* const kBackupAspectName = "ASPR_CreateBackup";
// Stored texts longer than this are not taken (no setting holds anything near it).
constexpr size_t kMaxTextLength = 32768;
// The most associated extensions one "Associated" text may give.
constexpr int kMaxAssociated = 256;

TSettingValue B(bool v) { return TSettingValue{v ? 1 : 0, {}}; }
TSettingValue I(int v) { return TSettingValue{v, {}}; }
TSettingValue S(const std::string& v) { return TSettingValue{0, v}; }

// ---------------------------------------------------------------------------
// Readers and writers of the two stores
// ---------------------------------------------------------------------------
}  // namespace

class TSettingsReader {
 public:
  virtual ~TSettingsReader() = default;
  // Each returns false, leaving value as it is, when the store lacks the value or holds
  // it with another type.
  virtual bool ReadInt(const std::string& name, int& value) = 0;
  // Booleans are stored as integers; any value but 0 is true.
  bool ReadBool(const std::string& name, bool& value) {
    int v = 0;
    if (!ReadInt(name, v)) return false;
    value = v != 0;
    return true;
  }
  virtual bool ReadText(const std::string& name, std::string& value) = 0;
  virtual bool Has(const std::string& name) = 0;
};

class TSettingsWriter {
 public:
  virtual ~TSettingsWriter() = default;
  // Each raises an exception when the value cannot be written.
  virtual void WriteInt(const std::string& name, int value) = 0;
  virtual void WriteBool(const std::string& name, bool value) = 0;
  virtual void WriteText(const std::string& name, const std::string& value) = 0;
};

namespace {

class TRegistryReader : public TSettingsReader {
 public:
  explicit TRegistryReader(TRegistry& reg) : reg_(reg) {}
  bool ReadInt(const std::string& name, int& value) override {
    if (reg_.GetDataType(name) != rdInteger) return false;
    try {
      value = reg_.ReadInteger(name);
      return true;
    } catch (const Exception&) {
      return false;
    }
  }
  bool ReadText(const std::string& name, std::string& value) override {
    const TRegDataType type = reg_.GetDataType(name);
    if (type != rdString && type != rdExpandString) return false;
    try {
      std::string text = reg_.ReadString(name);
      if (text.size() > kMaxTextLength) return false;
      value = text;
      return true;
    } catch (const Exception&) {
      return false;
    }
  }
  bool Has(const std::string& name) override { return reg_.ValueExists(name); }

 private:
  TRegistry& reg_;
};

class TRegistryWriter : public TSettingsWriter {
 public:
  explicit TRegistryWriter(TRegistry& reg) : reg_(reg) {}
  void WriteInt(const std::string& name, int value) override { reg_.WriteInteger(name, value); }
  void WriteBool(const std::string& name, bool value) override { reg_.WriteBool(name, value); }
  void WriteText(const std::string& name, const std::string& value) override { reg_.WriteString(name, value); }

 private:
  TRegistry& reg_;
};

class TIniReader : public TSettingsReader {
 public:
  explicit TIniReader(TIniFile& ini) : ini_(ini) {}
  bool ReadInt(const std::string& name, int& value) override {
    if (!ini_.ValueExists(kSection, name)) return false;
    int v = 0;
    if (!TryStrToInt(Trim(ini_.ReadString(kSection, name, "")), v)) return false;
    value = v;
    return true;
  }
  bool ReadText(const std::string& name, std::string& value) override {
    if (!ini_.ValueExists(kSection, name)) return false;
    std::string text = ini_.ReadString(kSection, name, value);
    if (text.size() > kMaxTextLength) return false;
    value = text;
    return true;
  }
  bool Has(const std::string& name) override { return ini_.ValueExists(kSection, name); }

 private:
  TIniFile& ini_;
};

class TIniWriter : public TSettingsWriter {
 public:
  explicit TIniWriter(TIniFile& ini) : ini_(ini) {}
  void WriteInt(const std::string& name, int value) override { ini_.WriteInteger(kSection, name, value); }
  void WriteBool(const std::string& name, bool value) override { ini_.WriteBool(kSection, name, value); }
  void WriteText(const std::string& name, const std::string& value) override {
    ini_.WriteString(kSection, name, value);
  }

 private:
  TIniFile& ini_;
};

// The stand-alone ini holds paths on the program's drive in the Windows form without the
// drive letter (":\Photos\2004"), so that the same stick works under another letter or on
// another system; a path elsewhere is kept as it is.
std::string DriveRelativeText(const std::string& path, const std::string& driveRoot) {
  if (path.empty()) return path;
  std::string text = LinuxPathToWindows(ExcludeTrailingPathDelimiter(path), driveRoot, ":");
  if (text.empty()) return path;
  if (text == ":") text = ":\\";
  if (path.back() == '/' && text.back() != '\\') text += '\\';
  return text;
}

// The reverse on load: the drive's root for an empty text.
std::string PathFromDriveText(const std::string& text, const std::string& driveRoot) {
  if (text.empty()) return driveRoot;
  if (IsWindowsStylePath(text)) return WindowsPathToLinux(text, driveRoot);
  if (IsFullPath(text)) return text;
  return PathJoin(driveRoot, text);
}

int Clamp(int v, int low, int high) { return std::max(low, std::min(high, v)); }

// The program's icon in stand-alone mode, the "USBICON": a memory stick with its plug, 32
// by 32 pixels on a transparent ground. The program carries no resource file, so the icon
// is made here, as the bytes of a 32-bit ".ico" file.
void LoadUsbIcon(TIcon& icon) {
  constexpr int kSide = 32;
  // B, G, R, A of each pixel, rows top-down.
  std::vector<uint8_t> pixels(size_t(kSide) * kSide * 4, 0);
  auto fill = [&](int left, int top, int right, int bottom, uint32_t rgb) {
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) {
        uint8_t* p = &pixels[(size_t(y) * kSide + x) * 4];
        p[0] = uint8_t(rgb);
        p[1] = uint8_t(rgb >> 8);
        p[2] = uint8_t(rgb >> 16);
        p[3] = 255;
      }
  };
  fill(2, 9, 22, 23, 0x000080);   // the body, navy
  fill(4, 11, 20, 13, 0x4040C0);  // its light edge
  fill(22, 11, 31, 21, 0xC0C0C0); // the plug, silver
  fill(25, 13, 28, 15, 0x404040); // the plug's two holes
  fill(25, 17, 28, 19, 0x404040);

  std::vector<uint8_t> file;
  auto put16 = [&](uint32_t v) {
    file.push_back(uint8_t(v));
    file.push_back(uint8_t(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  const uint32_t maskRow = 4;  // one bit per pixel, rows padded to 32 bits
  const uint32_t imageBytes = 40 + kSide * kSide * 4 + kSide * maskRow;
  // The icon directory with its one entry.
  put16(0);
  put16(1);
  put16(1);
  file.push_back(kSide);
  file.push_back(kSide);
  file.push_back(0);
  file.push_back(0);
  put16(1);
  put16(32);
  put32(imageBytes);
  put32(6 + 16);
  // The image: a bitmap header of twice the height (colour rows and mask rows), the
  // colour rows bottom-up, then the transparency mask, all 0 since alpha decides.
  put32(40);
  put32(kSide);
  put32(2 * kSide);
  put16(1);
  put16(32);
  put32(0);
  put32(kSide * kSide * 4 + kSide * maskRow);
  for (int i = 0; i < 4; ++i) put32(0);
  for (int y = kSide - 1; y >= 0; --y)
    file.insert(file.end(), pixels.begin() + ptrdiff_t(y) * kSide * 4, pixels.begin() + ptrdiff_t(y + 1) * kSide * 4);
  file.insert(file.end(), size_t(kSide) * maskRow, 0);
  TReadOnlyMemoryStream stream(file.data(), int64_t(file.size()));
  icon.LoadFromStream(stream);
}

}  // namespace

// ===========================================================================
// The table
// ===========================================================================
std::vector<TSettingRow> TForm1::SettingsTable() {
  std::vector<TSettingRow> rows;
  // The rows' special steps are set through the pointer add returns; no reallocation
  // may move the rows meanwhile.
  rows.reserve(200);
  auto add = [&rows](const std::string& name, TSettingKind kind, std::function<TSettingValue()> def,
                     std::function<TSettingValue()> save, std::function<void(const TSettingValue&)> load) {
    rows.push_back(TSettingRow{name, kind, std::move(def), std::move(save), std::move(load), nullptr});
    return &rows.back();
  };
  auto boolRow = [&](const std::string& name, bool def, std::function<bool()> get, std::function<void(bool)> set) {
    return add(name, TSettingKind::Bool, [def] { return B(def); }, [get] { return B(get()); },
               [set](const TSettingValue& v) { set(v.Int != 0); });
  };
  auto intRow = [&](const std::string& name, std::function<int()> def, std::function<int()> get,
                    std::function<void(int)> set) {
    return add(name, TSettingKind::Integer, [def] { return I(def()); }, [get] { return I(get()); },
               [set](const TSettingValue& v) { set(v.Int); });
  };
  auto textRow = [&](const std::string& name, std::function<std::string()> def, std::function<std::string()> get,
                     std::function<void(const std::string&)> set) {
    return add(name, TSettingKind::Text, [def] { return S(def()); }, [get] { return S(get()); },
               [set](const TSettingValue& v) { set(v.Text); });
  };
  auto menuRow = [&](const std::string& name, bool def, TMenuItem* item) {
    return boolRow(name, def, [item] { return item->Checked(); }, [item](bool v) { item->SetChecked(v); });
  };
  auto downRow = [&](const std::string& name, bool def, TZqSpeedButton* button) {
    return boolRow(name, def, [button] { return button->Down(); }, [button](bool v) { button->SetDown(v); });
  };
  auto checkRow = [&](const std::string& name, bool def, TCheckBox* box) {
    return boolRow(name, def, [box] { return box->Checked(); }, [box](bool v) { box->SetChecked(v); });
  };
  auto fieldBool = [&](const std::string& name, bool def, bool& field) {
    return boolRow(name, def, [&field] { return field; }, [&field](bool v) { field = v; });
  };
  auto fieldInt = [&](const std::string& name, int def, int32_t& field) {
    return intRow(name, [def] { return def; }, [&field] { return field; }, [&field](int v) { field = v; });
  };
  auto fixedInt = [](int v) { return [v] { return v; }; };
  auto fixedText = [](const std::string& v) { return [v] { return v; }; };
  auto editRow = [&](const std::string& name, TCustomEdit* edit) {
    return textRow(name, fixedText(""), [edit] { return edit->Text(); },
                   [edit](const std::string& v) { edit->SetText(v); });
  };
  auto boundsRow = [&](const std::string& name, int def, TControl* control, int (TControl::*get)() const,
                       void (TControl::*set)(int)) {
    return intRow(name, fixedInt(def), [control, get] { return (control->*get)(); },
                  [control, set](int v) { (control->*set)(Clamp(v, -20000, 20000)); });
  };
  // Panel sizes stay within what a window can show.
  auto sizeRow = [&](const std::string& name, int def, TControl* control, bool width) {
    return intRow(name, fixedInt(def), [control, width] { return width ? control->Width() : control->Height(); },
                  [control, width](int v) {
                    v = Clamp(v, 20, 4000);
                    width ? control->SetWidth(v) : control->SetHeight(v);
                  });
  };

  // --- the main window: view and list options ---
  intRow("Version", fixedInt(0), [this] { return FBuildNumber; }, [this](int v) { FStoredVersion = v; });
  textRow("LastPath", fixedText(""), [this] { return FLastPath; }, [this](const std::string& v) { FLastPath = v; })
      ->AfterLoad = [this](bool fromIni) {
    if (fromIni) FLastPath = IncludeTrailingPathDelimiter(PathFromDriveText(FLastPath, MountPointOf(FAppDir)));
  };
  menuRow("Smooth Stretch", false, Smoothstrech);
  menuRow("Center large", false, M_Centerlarge);
  downRow("Stretch Small", false, ZqStretchsmaller);
  downRow("Fit in screen", true, ZqFitInScreen);
  menuRow("Recursive", true, M_Recursive);
  checkRow("AutoCloseList", true, ChB_CloseOnClick);
  menuRow("ShowAllFiles", false, Showallfiles)->AfterLoad = [this](bool) {
    ZqShowAll->SetDown(Showallfiles->Checked());
  };
  fieldInt("ThumbSize", 0, FThumbSize);
  downRow("MainMenu", false, ZqMainMenu);
  checkRow("Fade", false, FormFadestyles->ChB_Fading);
  menuRow("SortNone", false, PoNone);
  menuRow("SortDate", false, PoDate);
  menuRow("SortSize", false, PoSize);
  menuRow("SortName", true, PoName);
  menuRow("SortPhotoDate", false, PoPhotodate);
  menuRow("SortNameNo", false, PoNameNo);
  menuRow("SortDescend", false, PoSortdescend);
  intRow("Thumb Columns", fixedInt(2), [this] { return FThumbColumns; },
         [this](int v) { FThumbColumns = Clamp(v, 1, 50); });
  fieldInt("Thumbs pos", 1, FThumbsPos);
  menuRow("Cached thumbs", true, M_UseTumbCache);
  menuRow("Cached fixed", true, M_CacheonlyFixedDiskfiles)->AfterLoad = [this](bool fromIni) {
    if (!fromIni) return;
    M_CacheonlyFixedDiskfiles->SetChecked(false);
    M_CacheonlyFixedDiskfiles->SetVisible(false);
  };
  checkRow("FadeSoft", false, FormFadestyles->ChB_Soft);
  checkRow("FadeCoarse", false, FormFadestyles->ChB_Coarse);
  checkRow("FadeDirectional", false, FormFadestyles->ChB_Direct);
  menuRow("ShowFilename", false, M_Showfilename);
  menuRow("Slidebackground", true, M_BlackSlideshowBG);
  fieldBool("Preview", false, FPreview);
  intRow("SlideDelay", fixedInt(2), [this] { return FSlideDelay; },
         [this](int v) { FSlideDelay = (v < 0 || v > 100) ? 2 : v; });
  menuRow("Buttonbar", true, M_Buttons);
  menuRow("FileButtonbar", true, M_Filelistbar);
  menuRow("StatusBar", true, M_Statusbar);
  textRow("DigiFactor", fixedText("8,2"), [this] { return FDigiFactor; },
          [this](const std::string& v) { FDigiFactor = v; });
  textRow("FilmFactor", fixedText("35"), [this] { return FFilmFactor; },
          [this](const std::string& v) { FFilmFactor = v; });
  // The tree's height as chosen, which a lower window may not show whole.
  intRow("NavigatorHeight", fixedInt(185), [this] { return folderTreeHeight_; },
         [this](int v) { SetFolderTreeHeight(Clamp(v, 20, 4000)); });
  sizeRow("NavigatorWidth", 185, PanelBrowse, true);
  boundsRow("FloatBLeft", 40, FormFloatB, &TControl::Left, &TControl::SetLeft);
  boundsRow("FloatBTop", 40, FormFloatB, &TControl::Top, &TControl::SetTop);
  menuRow("FloatButtons", true, M_FloatingButtons);
  menuRow("MoveMouse", false, M_Movemouse);
  menuRow("Thumb Spy", true, M_ThumbsSpy);
  menuRow("Thumb Spy Exif", false, M_ShowExifinspy);
  menuRow("Thumb Exif Hints", false, M_IncludeExifhint);
  fieldBool("EquivalentCalc", false, FEquivalentCalc);
  fieldBool("CompactExif", false, FCompactExif);
  fieldBool("Screensaver", false, FScreensaver);
  menuRow("BackupLossless", false, M_Losslesbackup);
  menuRow("FastRotate", true, M_Fastbatchrotate);
  menuRow("PefectRotate", true, M_JPGTRANPerfect);

  // --- the preferences dialog and the palettes ---
  editRow("Editor1", FormSettings->JPGEdit);
  checkRow("ShowDelayButtons", true, FormSettings->ChB_ShowDelay);
  checkRow("ShowCopyButtons", true, FormSettings->Chb_CopyButton);
  checkRow("ShowLosslessButtons", true, FormSettings->ChB_RotateButton);
  checkRow("ShotgraphVisible", true, FormSettings->CB_Shotgraph);
  checkRow("ShowLossCameraButton", true, FormSettings->CB_ShowCameraBttn);
  checkRow("ShowImportButton", true, FormSettings->ChB_AddImportButton);
  checkRow("PrintButton", true, FormSettings->CB_PrintButton);
  intRow("ResampleFilter", fixedInt(2), [] { return FormFilterSelect->RG_Resample->ItemIndex(); },
         [](int v) {
           if (v >= 0 && v < FormFilterSelect->RG_Resample->Items()->Count())
             FormFilterSelect->RG_Resample->SetItemIndex(v);
         });
  checkRow("Gray lists", false, FormSettings->ChB_ListBgColor);
  intRow("PictBackground", fixedInt(clWindow), [] { return int(FormSettings->ColorBox1->Selected()); },
         [](int v) { FormSettings->ColorBox1->SetSelected(TColor(v)); });
  checkRow("NoAutMemohandling", false, FormSettings->ChB_NoMemoHandling);
  checkRow("PlayMemo", true, FormSettings->ChB_Playsound);
  checkRow("MemoButton", false, FormSettings->ChB_MemoButton);
  checkRow("Showtext", true, FormSettings->ChB_Showtext);
  checkRow("SortButton", false, FormSettings->CB_FileSort)->AfterLoad = [](bool fromIni) {
    if (fromIni) FormSettings->BShortCut->SetEnabled(false);
  };

  // --- the tool windows, the EXIF information window and the rest of the main window ---
  // The save-folder window takes the prefix from FPrefix; the text it shows is saved, so
  // the load fills both, and a run that never opens the window saves what was loaded.
  textRow("Prefix", [] { return _("small_"); }, [] { return SaveToFolderForm->PrefixText->Text(); },
          [this](const std::string& v) {
            FPrefix = v;
            SaveToFolderForm->PrefixText->SetText(v);
          });
  checkRow("UsePrefix", false, SaveToFolderForm->ChB_UsePrefix);
  checkRow("UseExif", false, SaveToFolderForm->ChB_WriteExif);
  checkRow("UseLowerCase", false, SaveToFolderForm->Chb_lowercase);
  checkRow("UseCardPrefix", false, FormGetcard->ChB_CardFilePrefix);
  checkRow("UseCardSuffix", true, FormGetcard->ChB_Suffix);
  editRow("CardPrefix", FormGetcard->PrefixEdit);
  sizeRow("FavoritesW", 185, PanelFavorites, true);
  boolRow("Browser", true, [this] { return PanelBrowse->Visible(); }, [this](bool v) { PanelBrowse->SetVisible(v); });
  boolRow("Favorites", false, [this] { return PanelFavorites->Visible(); },
          [this](bool v) { PanelFavorites->SetVisible(v); });
  downRow("Thumbs", false, ZqTumblist);
  menuRow("Exifoverlay", false, Exifoverlay);
  fieldBool("AlignMenu", true, FAlignMenu);
  textRow("WebFolder", fixedText(""), [this] { return FWebFolder; },
          [this](const std::string& v) { FWebFolder = v; })
      ->AfterLoad = [this](bool fromIni) {
    if (fromIni) {
      const std::string drive = MountPointOf(FAppDir);
      FWebFolder = PathFromDriveText(FWebFolder, drive);
      if (!DirectoryExists(FWebFolder)) FWebFolder = drive;
    } else if (!DirectoryExists(FWebFolder)) {
      FWebFolder = FAppDir + "Kivo e-mail images";
      if (!DirectoryExists(FWebFolder)) ForceDirectories(FWebFolder);
    }
  };
  fieldInt("CustomWebSize", 430, FCustomWebSize);
  fieldInt("SmallWidth", 3, FSmallWidth);
  fieldInt("SmallCompression", 3, FSmallCompression);
  // Likewise the save window's options: loaded into the fields it takes them from and into
  // its controls, which are saved.
  boolRow("WebSettings", false, [] { return FormSaveImage->PanelSettings->Visible(); },
          [this](bool v) {
            FWebSettings = v;
            FormSaveImage->PanelSettings->SetVisible(v);
          });
  boolRow("StretchSmall", false, [] { return FormSaveImage->Ch_Strech->Checked(); },
          [this](bool v) {
            FStretchSmall = v;
            FormSaveImage->Ch_Strech->SetChecked(v);
          });
  boolRow("Filter", true, [] { return FormSaveImage->Ch_Filter->Checked(); },
          [this](bool v) {
            FFilter = v;
            FormSaveImage->Ch_Filter->SetChecked(v);
          });
  boundsRow("SaveTop", 181, FormSaveImage, &TControl::Top, &TControl::SetTop);
  boundsRow("SaveLeft", 230, FormSaveImage, &TControl::Left, &TControl::SetLeft);
  boundsRow("SaveHeight", 550, FormSaveImage, &TControl::Height, &TControl::SetHeight);
  boundsRow("SaveWidth", 700, FormSaveImage, &TControl::Width, &TControl::SetWidth);
  textRow("CardFolder", fixedText("none"), [this] { return FCardFolder; },
          [this](const std::string& v) { FCardFolder = v; });
  menuRow("R_MouseSelect", false, Rightclickselect);
  boolRow("AnalizeSubs", false, [] { return FormAnalize->ChB_Subs->Checked(); },
          [this](bool v) {
            FAnalizeSubs = v;
            FormAnalize->ChB_Subs->SetChecked(v);
          });
  intRow("AnalizeVal1", fixedInt(10), [] { return FormAnalize->SpinEdit1->Value(); },
         [](int v) { FormAnalize->SpinEdit1->SetValue(v); });
  intRow("AnalizeVal2", fixedInt(28), [] { return FormAnalize->SpinEdit2->Value(); },
         [](int v) { FormAnalize->SpinEdit2->SetValue(v); });
  checkRow("Analize3D", false, FormAnalize->ChB3D);
  checkRow("AnalizeBar", false, FormAnalize->ChBbar);
  intRow("AnalizeMarks", fixedInt(-1), [] { return FormAnalize->ComboBoxValue->ItemIndex(); },
         [](int v) {
           if (v >= -1 && v < FormAnalize->ComboBoxValue->Items()->Count()) FormAnalize->ComboBoxValue->SetItemIndex(v);
         });
  checkRow("CalcAlway", false, FormAnalize->Ch_AlwaysCalc);
  editRow("EditMake", FormAnalize->EditMake);
  editRow("Editmodel", FormAnalize->EditModel);
  editRow("EditMakerTag", FormAnalize->MN_name_Edit);
  editRow("EditMakerDate", FormAnalize->MN_Data_Edit);
  checkRow("MMCustom", false, FormAnalize->Cb_Custom);
  checkRow("MMRaw", true, FormAnalize->ChB_Raw);
  intRow("RadioButton", fixedInt(0), [] { return FormAnalize->RadioGroup1->ItemIndex(); },
         [](int v) {
           if (v >= -1 && v < FormAnalize->RadioGroup1->Items()->Count()) FormAnalize->RadioGroup1->SetItemIndex(v);
         });
  downRow("LensHandling", false, FormAnalize->ZqSetforRealLength);
  boundsRow("AnalizeTop", 174, FormAnalize, &TControl::Top, &TControl::SetTop);
  intRow("AnalizeLeft", [this] { return PanelBrowse->Width(); }, [] { return FormAnalize->Left(); },
         [](int v) { FormAnalize->SetLeft(Clamp(v, -20000, 20000)); });
  boundsRow("AnalizeWidth", 669, FormAnalize, &TControl::Width, &TControl::SetWidth);
  boundsRow("AnalizeHeight", 555, FormAnalize, &TControl::Height, &TControl::SetHeight);
  editRow("BSearch", BatchRenameForm->Edit1);
  editRow("BReplace", BatchRenameForm->Edit2);
  checkRow("BCase", false, BatchRenameForm->ChB_Case);
  editRow("BPrefixEdit", BatchRenameForm->PrefixEdit);
  checkRow("BSuffix", true, BatchRenameForm->ChB_Suffix);
  intRow("PrinterCustomH", fixedInt(1400), [] { return PrintForm->FPrintHeight; },
         [](int v) { PrintForm->FPrintHeight = Clamp(v, 0, 1000000); });
  intRow("PrinterCustomW", fixedInt(1400), [] { return PrintForm->FPrintWidth; },
         [](int v) { PrintForm->FPrintWidth = Clamp(v, 0, 1000000); });
  intRow("PrinterUnits", fixedInt(0), [] { return PrintForm->Units->ItemIndex(); },
         [](int v) {
           if (v >= -1 && v < PrintForm->Units->Items()->Count()) PrintForm->Units->SetItemIndex(v);
         });
  checkRow("PrinterCenter", true, PrintForm->Centered);
  checkRow("ASPR_Portrait", false, CalculateAspect->CB_ASPPortrait);
  checkRow("ASPR_PortToLand", false, CalculateAspect->CB_PortToLandscape);
  // The backup box. Stores of older builds have no value of its own: their
  // "ASPR_Portrait" holds this box's state, and the portrait box keeps its designed state.
  add(kBackupAspectName, TSettingKind::Bool, [] { return B(true); },
      [] { return B(CalculateAspect->CB_BackupAspectR->Checked()); },
      [](const TSettingValue& v) { CalculateAspect->CB_BackupAspectR->SetChecked(v.Int != 0); });
  checkRow("ASPR_Backup", false, CalculateAspect->CB_PrepareCompression);
  intRow("ASPR_ComboItem", fixedInt(0), [] { return CalculateAspect->AspectRComboBox->ItemIndex(); },
         [](int v) {
           if (v >= -1 && v < CalculateAspect->AspectRComboBox->Items()->Count())
             CalculateAspect->AspectRComboBox->SetItemIndex(v);
         });
  checkRow("ASPR_FastBatch", false, CalculateAspect->CB_FastBatchASPR);
  checkRow("ASPR_Lossless", true, CalculateAspect->CB_LosslessASPR);
  boundsRow("EForm_T", 145, ExifInfoForm, &TControl::Top, &TControl::SetTop);
  boundsRow("EForm_L", 311, ExifInfoForm, &TControl::Left, &TControl::SetLeft);
  boundsRow("EForm_H", 359, ExifInfoForm, &TControl::Height, &TControl::SetHeight);
  // Made at least as wide as the lines of its "Info" page need in the language.
  intRow("EForm_W", [] { return ExifInfoForm->InfoWidth(); }, [] { return ExifInfoForm->Width(); },
         [](int v) { ExifInfoForm->SetWidth(Clamp(v, -20000, 20000)); });
  // Full screen is neither of the three states: it keeps the one stored.
  intRow("WinStatusMain", fixedInt(3), [this] {
           if (FFullScreen) return int(FWinStatusMain);
           switch (WindowState()) {
             case wsNormal:
               return 1;
             case wsMinimized:
               return 2;
             case wsMaximized:
               return 3;
           }
           return int(FWinStatusMain);
         },
         [this](int v) { FWinStatusMain = v; });
  // The place and size of the normal window. A maximised, minimised or full-screen window
  // has another one; the normal one loaded is then kept, so that restoring the window
  // after the next start finds it again.
  auto normalBounds = [&](const std::string& name, int (TControl::*get)() const, int32_t& field) {
    intRow(name, fixedInt(0),
           [this, get, &field] { return !FFullScreen && WindowState() == wsNormal ? (this->*get)() : field; },
           [&field](int v) { field = v; });
  };
  normalBounds("WinStatusTop", &TControl::Top, FWinStatusTop);
  normalBounds("WinStatusLeft", &TControl::Left, FWinStatusLeft);
  normalBounds("WinStatusWidth", &TControl::Width, FWinStatusWidth);
  normalBounds("WinStatusHeight", &TControl::Height, FWinStatusHeight);
  textRow("Associated", fixedText(""),
          [this] {
            std::string text;
            for (int i = 0; i < FAssociatedList->Count(); ++i) text += FAssociatedList->Strings(i) + ";";
            return text;
          },
          [this](const std::string& v) { loadedAssociated_ = v; });
  editRow("SearchString", SearchForm->EditSearch);
  return rows;
}

std::vector<std::string> TForm1::SettingsSaveOrder() {
  return {"InstallFolder", "Version", "LastPath", "Smooth Stretch", "Stretch Small", "Fit in screen",
          "Center large", "Recursive", "AutoCloseList", "ShowAllFiles", "ThumbSize", "Fade", "MainMenu",
          "SortNone", "SortDate", "SortSize", "SortName", "SortPhotoDate", "SortNameNo", "SortDescend",
          "Thumb Columns", "Thumbs pos", "Cached thumbs", "Cached fixed", "FadeSoft", "FadeCoarse",
          "FadeDirectional", "ShowFilename", "Slidebackground", "Preview", "SlideDelay", "Buttonbar",
          "FileButtonbar", "StatusBar", "DigiFactor", "FilmFactor", "NavigatorHeight", "NavigatorWidth",
          "FloatBLeft", "FloatBTop", "FloatButtons", "MoveMouse", "Thumb Spy", "Thumb Spy Exif",
          "Thumb Exif Hints", "EquivalentCalc", "CompactExif", "Screensaver", "BackupLossless", "FastRotate",
          "PefectRotate", "Editor1", "ShowDelayButtons", "ShowCopyButtons", "ShotgraphVisible", "PrintButton",
          "ShowLosslessButtons", "ShowLossCameraButton", "ShowImportButton", "ResampleFilter", "Gray lists",
          "PictBackground", "NoAutMemohandling", "Prefix", "UsePrefix", "UseExif", "UseLowerCase",
          "UseCardPrefix", "UseCardSuffix", "CardPrefix", "PlayMemo", "MemoButton", "Showtext", "SortButton",
          "FavoritesW", "Browser", "Favorites", "Thumbs", "Exifoverlay", "AlignMenu", "WebFolder",
          "CustomWebSize", "SmallWidth", "SmallCompression", "WebSettings", "StretchSmall", "Filter", "SaveTop",
          "SaveLeft", "SaveHeight", "SaveWidth", "CardFolder", "R_MouseSelect", "AnalizeSubs", "AnalizeVal1",
          "AnalizeVal2", "Analize3D", "AnalizeBar", "AnalizeMarks", "CalcAlway", "EditMake", "Editmodel",
          "EditMakerTag", "EditMakerDate", "MMCustom", "MMRaw", "RadioButton", "LensHandling", "AnalizeTop",
          "AnalizeLeft", "AnalizeWidth", "AnalizeHeight", "BSearch", "BReplace", "BCase", "BPrefixEdit",
          "BSuffix", "PrinterCustomW", "PrinterCustomH", "PrinterUnits", "PrinterCenter", "ASPR_Portrait",
          kBackupAspectName, "ASPR_PortToLand", "ASPR_Backup", "ASPR_ComboItem", "ASPR_FastBatch",
          "ASPR_Lossless", "EForm_T", "EForm_L", "EForm_H", "EForm_W", "Language", "WinStatusTop",
          "WinStatusLeft", "WinStatusWidth", "WinStatusHeight", "Associated", "SearchString", "WinStatusMain"};
}

std::string TForm1::UsbIniFileName() const {
  std::string found = FindNameNoCase(FAppDir, "Kivo2_usb.ini");
  return found.empty() ? FAppDir + "Kivo2_usb.ini" : found;
}

// ===========================================================================
// Loading
// ===========================================================================
void TForm1::GetUserSettingsFromReg() {
  // Presets; the components not named here keep their designed states.
  Usb_Image->SetVisible(false);
  FBuildNumber = 1100;
  FVersionText.clear();
  FFilter = true;
  ExifLabelFront->SetCaption("");
  FPrefix = _("small_");
  FCardFolder = "none";
  FMagnifierActive = false;
  GetFileVersStrs();
  FSavedThumbsVisible = false;
  FExactRescale = false;
  FLastPath.clear();
  FWinStatusMain = 3;
  FFitMargin = 20;
  FThumbSize = 0;
  FBrowseMode = false;
  FPreview = false;
  FSlideDelay = 2;
  FAlignMenu = true;
  FListColorMode = 0;
  FSortMode = 1;
  FScreensaver = false;
  FThumbColumns = 2;
  FThumbsPos = 1;
  FEquivalentCalc = false;
  FCompactExif = false;
  FBackgroundThumbs = false;
  for (const char* ext : {".AVI", ".MPG", ".MPEG", ".WMV", ".MOV", ".M1V", ".MVR", ".CPT"}) FAssociatedList->Add(ext);
  FDigiFactor = "8,2";
  FFilmFactor = "35";
  FormFloatB->SetLeft(40);
  FormFloatB->SetTop(40);
  FCustomWebSize = 430;
  MouseOverItem = -1;
  FSmallWidth = 3;
  FSmallCompression = 3;
  FormAnalize->SetLeft(PanelBrowse->Width());
  FUsbMode = false;
  loadedAssociated_.clear();
  settingsDamage_.clear();

  // The marker files lie in the program folder.
  if (ProgramMarkerExists(FProgramDir, "usb_drive.on")) {
    FUsbMode = true;
    Usb_Image->SetVisible(true);
    try {
      TIcon usbIcon;
      LoadUsbIcon(usbIcon);
      Application->SetIcon(&usbIcon);
    } catch (const Exception&) {
      // Without an icon reader the program keeps its icon.
    }
    try {
      TIniFile ini(UsbIniFileName());
      TIniReader reader(ini);
      loadFromStore(reader, true);
    } catch (const Exception&) {
      // An unreadable file loads nothing more.
    }
  } else {
    const HKEY root = ProgramMarkerExists(FProgramDir, "localmachinekey.on") ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    try {
      TRegistry reg(KEY_ALL_ACCESS);
      reg.SetRootKey(root);
      if (reg.OpenKey(SettingsKeyPath(), true)) {
        TRegistryReader reader(reg);
        loadFromStore(reader, false);
      }
    } catch (const Exception&) {
      // A key that cannot be opened loads nothing.
    }
    // A damaged file gave what it holds whole; the rest keeps its defaults.
    std::string kept;
    if (TakeRegistryDamage(root, kept))
      settingsDamage_ =
          kept.empty() ? Format(_("Your settings could not be read whole, and the damaged file %s could not be kept: "
                                  "what could not be read has its default value, and no settings are saved over it."),
                                {RegistryFileName(root)})
                       : Format(_("Your settings could not be read whole: what could not be read has its default "
                                  "value. The damaged file is kept as %s."),
                                {kept});
  }
  setDerivedStates(loadedAssociated_);
  settingsLoaded_ = true;
}

void TForm1::loadFromStore(TSettingsReader& reader, bool fromIni) {
  const bool ownBackupValue = reader.Has(kBackupAspectName);
  for (TSettingRow& row : SettingsTable()) {
    TSettingValue value = row.Save();
    bool found = false;
    if (row.Name == kBackupAspectName && !ownBackupValue) {
      // A store of an older build: its "ASPR_Portrait" is the backup box's state.
      bool v = false;
      if (reader.ReadBool("ASPR_Portrait", v)) {
        value.Int = v ? 1 : 0;
        found = true;
        CalculateAspect->CB_ASPPortrait->SetChecked(false);
      }
    } else {
      switch (row.Kind) {
        case TSettingKind::Bool: {
          bool v = value.Int != 0;
          found = reader.ReadBool(row.Name, v);
          value.Int = v ? 1 : 0;
          break;
        }
        case TSettingKind::Integer:
          found = reader.ReadInt(row.Name, value.Int);
          break;
        case TSettingKind::Text:
          found = reader.ReadText(row.Name, value.Text);
          break;
      }
    }
    if (found) row.Load(value);
    if (row.AfterLoad) row.AfterLoad(fromIni);
  }
}

void TForm1::setDerivedStates(const std::string& associated) {
  FSortMode = 1;
  const std::pair<TMenuItem*, int> sortItems[] = {{PoNone, 0}, {PoSize, 2},      {PoDate, 3},
                                                  {PoName, 1}, {PoPhotodate, 6}, {PoNameNo, 7}};
  for (const auto& [item, mode] : sortItems)
    if (item->Checked()) FSortMode = mode;
  M_Preview->SetChecked(FPreview);
  ZqBrowsePanel->SetDown(!PanelBrowse->Visible());
  ChB_CloseOnClick->SetEnabled(!ZqBrowsePanel->Down());
  ZqFavoriteslist->SetDown(PanelFavorites->Visible());
  Splitter3->SetVisible(PanelFavorites->Visible());
  Splitter1->SetVisible(PanelBrowse->Visible());
  InitFormSettings();
  StringToAssociatedList(associated);
  if (Screen->Width() < FormFloatB->Left() + FormFloatB->Width()) FormFloatB->SetLeft(40);
  if (Screen->Height() < FormFloatB->Top() + FormFloatB->Height()) FormFloatB->SetTop(40);
  CreateallthumbsforSelTree->SetEnabled(M_UseTumbCache->Checked());
  Rightclickselect->SetChecked(false);
}

void TForm1::StringToAssociatedList(const std::string& Text) {
  if (Text.empty()) return;
  FAssociatedList->Clear();
  const std::string types = AboutBox ? AboutBox->FCommentText : std::string();
  std::string token;
  for (char c : Text) {
    if (c != ';') {
      token += c;
      continue;
    }
    // An empty token would match every file; the list is bounded.
    if (!token.empty() && FAssociatedList->Count() < kMaxAssociated &&
        types.find(token + ";") == std::string::npos)
      FAssociatedList->Add(token);
    token.clear();
  }
}

void TForm1::InitFormSettings() {
  LabelDelay->SetCaption(IntToStr(FSlideDelay));
  Timer1->SetInterval(unsigned(FSlideDelay * 1000 + FSlideExtraMs));
  ScrollBox1->SetColor(FormSettings->ColorBox1->Selected());
}

// ===========================================================================
// Saving
// ===========================================================================
void TForm1::saveToStore(TSettingsWriter& writer, bool toIni) {
  std::vector<TSettingRow> table = SettingsTable();
  const std::string drive = MountPointOf(FAppDir);
  for (const std::string& name : SettingsSaveOrder()) {
    if (name == "InstallFolder") {
      writer.WriteText(name, toIni ? DriveRelativeText(IncludeTrailingPathDelimiter(FProgramDir), drive)
                                   : RemoveTrailingBackslash(FProgramDir));
      continue;
    }
    if (name == "Language") {
      writer.WriteText(name, UiLanguageCode);
      continue;
    }
    auto row = std::find_if(table.begin(), table.end(), [&](const TSettingRow& r) { return r.Name == name; });
    if (row == table.end()) continue;
    TSettingValue value = row->Save();
    if (name == "WinStatusMain") FWinStatusMain = value.Int;
    if (toIni && (name == "LastPath" || name == "WebFolder")) value.Text = DriveRelativeText(value.Text, drive);
    switch (row->Kind) {
      case TSettingKind::Bool:
        writer.WriteBool(name, value.Int != 0);
        break;
      case TSettingKind::Integer:
        writer.WriteInt(name, value.Int);
        break;
      case TSettingKind::Text:
        writer.WriteText(name, value.Text);
        break;
    }
  }
}

bool TForm1::WriteUserSettingsToReg() {
  if (FLastPath.empty() && !FFolderBeforeShows.empty() && DirectoryExists(FFolderBeforeShows))
    FLastPath = FFolderBeforeShows;
  std::string failure;
  try {
    if (FUsbMode) {
      TIniFile ini(UsbIniFileName());
      TIniWriter writer(ini);
      // One save of the whole file instead of one per value (slow on memory sticks).
      ini.BeginUpdate();
      saveToStore(writer, true);
      ini.EndUpdate();
    } else {
      TRegistry reg(KEY_ALL_ACCESS);
      reg.SetRootKey(ProgramMarkerExists(FProgramDir, "localmachinekey.on") ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
      if (!reg.OpenKey(SettingsKeyPath(), true))
        failure = Format(_("The settings key %s cannot be opened for writing."), {SettingsKeyPath()});
      else {
        TRegistryWriter writer(reg);
        reg.BeginUpdate();
        saveToStore(writer, false);
        if (!reg.EndUpdate()) failure = Format(_("The settings under %s could not be written."), {SettingsKeyPath()});
      }
    }
  } catch (const Exception& e) {
    failure = e.Message();
  }
  if (failure.empty()) return true;
  if (!settingsSaveReported_) {
    settingsSaveReported_ = true;
    ShowMessage(_("Your settings could not be saved:") + "\n" + failure);
  }
  return false;
}

// ===========================================================================
// The end of the desktop session
// ===========================================================================
void TForm1::SaveSettingsForSession() {
  if (!settingsLoaded_ || Application->Terminated()) return;
  // The save puts the folder before the paperclip and shows view into FLastPath; the
  // view goes on, so it gets its empty FLastPath back.
  const std::string lastPath = FLastPath;
  WriteUserSettingsToReg();
  FLastPath = lastPath;
}

void TForm1::EndOfSession() {
  if (sessionEnding_ || Application->Terminated()) return;
  sessionEnding_ = true;
  // Nobody is left to answer a message about a failed save.
  settingsSaveReported_ = true;
  if (!settingsLoaded_) {
    Application->Terminate();
    return;
  }
  // In full screen the first close only leaves full screen.
  if (FFullScreen) FullScreen();
  Close();
  if (!Application->Terminated()) {
    WriteUserSettingsToReg();
    Application->Terminate();
  }
}
