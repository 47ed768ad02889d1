#include "controls/ZqGlyphs.h"

#include <algorithm>
#include <cstring>

#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ImgList.h"
#include "platform/shell/ShellExplorer.h"

namespace {

struct GlyphRow {
  const char* form;    // the window's component name; "" for the push-button kinds
  const char* button;  // the button's component name, or the kind's resource name
  const char* icon;    // freedesktop icon name; "kivo2-..." for the program's own pictures
  bool alone = false;  // the glyph replaces a caption that only stood in for it
};

// The one table of the program's button glyphs.
const GlyphRow kGlyphs[] = {
    // The push button's kinds.
    {"", "ZQOK", "dialog-ok"},
    {"", "ZQCANCEL", "dialog-cancel"},
    {"", "ZQHELP", "help-browser"},
    {"", "ZQYES", "dialog-ok"},
    {"", "ZQNO", "dialog-cancel"},
    {"", "ZQCLOSE", "window-close"},
    {"", "ZQABORT", "process-stop"},
    {"", "ZQRETRY", "view-refresh"},
    {"", "ZQIGNORE", "media-skip-forward"},
    {"", "ZQALL", "edit-select-all"},
    // The main window: its button bar, the file list's bar, the list caption, favorites.
    {"Form1", "ZqMainMenu", "open-menu"},
    {"Form1", "ZqBrowsePanel", "system-file-manager"},
    {"Form1", "ZqFavoriteslist", "emblem-favorite"},
    {"Form1", "ZqTumblist", "view-grid"},
    {"Form1", "Zq_CustomShow", "mail-attachment"},
    {"Form1", "ZqPrevious", "go-previous", true},
    {"Form1", "ZqNext", "go-next", true},
    {"Form1", "ZqAutonext", "media-playback-start"},
    {"Form1", "ZqSlideShow", "x-office-presentation"},
    {"Form1", "ZqSpeedDown", "list-remove", true},
    {"Form1", "ZqSpeedUp", "list-add", true},
    {"Form1", "ZqFolderUp", "go-up"},
    {"Form1", "ZqFolderDown", "go-down"},
    {"Form1", "ZqSpeedButton5", "go-jump", true},
    {"Form1", "ZqFitInScreen", "zoom-fit-best"},
    {"Form1", "ZqStretchsmaller", "kivo2-stretch"},
    {"Form1", "ZqZoom", "zoom-in"},
    {"Form1", "ZqRotate", "object-rotate-right"},
    {"Form1", "ZqSpeedButton1", "window-new"},
    {"Form1", "Zq_Shotgraph", "office-chart-bar"},
    {"Form1", "ZqPrint", "document-print"},
    {"Form1", "Zq_Paperclip", "kivo2-paperclip-add"},
    {"Form1", "ZqImport", "media-flash"},
    {"Form1", "ZqSortmenu", "view-sort-ascending"},
    {"Form1", "ZqSoundbutton", "audio-volume-high"},
    {"Form1", "ZqShowAll", "text-x-generic"},
    {"Form1", "ZqListBoxSortmenu", "view-sort-ascending"},
    {"Form1", "ZqSpeedButton2", "view-list"},
    {"Form1", "ZqSpeedButton3", "window-close", true},
    {"Form1", "Zq_CloseList", "window-close"},
    {"Form1", "ZqAdFavorite", "list-add"},
    {"Form1", "ZqRemFavorites", "list-remove"},
    {"Form1", "ZqCloseFavorites", "window-close"},
    // The floating button bar.
    {"FormFloatB", "ZqAutonext", "media-playback-start"},
    {"FormFloatB", "ZqPrevious", "go-previous", true},
    {"FormFloatB", "ZqNext", "go-next", true},
    {"FormFloatB", "ZqShowInfo", "insert-text"},
    {"FormFloatB", "ZqStretchsmaller", "kivo2-stretch"},
    {"FormFloatB", "ZqFitInScreen", "zoom-fit-best"},
    {"FormFloatB", "ZqTumblist", "view-grid"},
    {"FormFloatB", "ZqImageInfo", "dialog-information"},
    {"FormFloatB", "ZqFade", "preferences-desktop-screensaver"},
    {"FormFloatB", "ZqFolderUp", "go-up"},
    {"FormFloatB", "ZqFolderDown", "go-down"},
    {"FormFloatB", "ZqSpeedDown", "list-remove", true},
    {"FormFloatB", "ZqSpeedUp", "list-add", true},
    {"FormFloatB", "ZqSpeedButton3", "view-restore"},
    {"FormFloatB", "ZqSpeedButton1", "go-bottom"},
    // Preferences and the two palettes.
    {"FormSettings", "ZqButton1", "window-close"},
    {"FormSettings", "ZqSlow", "non-starred"},
    {"FormSettings", "ZqNormal", "semi-starred"},
    {"FormSettings", "ZqFast", "starred"},
    // The preferences' tree, a picture per option group, and the picture of its pages.
    {"FormSettings", "GroupBoxEditor", "accessories-text-editor"},
    {"FormSettings", "GroupBoxColor", "preferences-desktop-theme"},
    {"FormSettings", "GroupBoxExtensions", "application-x-executable"},
    {"FormSettings", "GroupBoxButtons", "preferences-other"},
    {"FormSettings", "GroupBoxLanguage", "preferences-desktop-locale"},
    {"FormSettings", "GroupBoxMemofiles", "audio-x-generic"},
    {"FormSettings", "GroupBoxSlideshow", "appointment-soon"},
    {"FormSettings", "GroupBoxWindows", "preferences-system-windows"},
    {"FormSettings", "Image2", "preferences-desktop-wallpaper"},
    {"FormFilterSelect", "ZqButton1", "window-close"},
    {"FormFadestyles", "ZqButton1", "window-close"},
    // The tool windows.
    {"SearchForm", "ZqSpeedButton1", "folder-open", true},
    {"SearchForm", "ZqSpeedButton2", "drive-harddisk"},
    {"SearchForm", "ZqButton1", "edit-find"},
    {"SearchForm", "ZqButton3", "process-stop"},
    {"SearchForm", "ZqButton2", "window-close"},
    {"FormThumbsettings", "ZqButton1", "window-close"},
    {"FormEditName", "ZqButton1", "document-edit"},
    {"FormEditName", "ZqButton2", "window-close"},
    {"FormFolderFind", "ZqButton1", "edit-find"},
    {"FormFolderFind", "ZqButton2", "window-close"},
    {"FormGetcard", "DateButton", "x-office-calendar"},
    {"FormGetcard", "ZqButton1", "edit-copy"},
    {"FormGetcard", "ZqButton2", "dialog-cancel"},
    {"FormGetcard", "ZqSpeedButton1", "help-browser"},
    {"BatchRenameForm", "DateButton", "x-office-calendar"},
    {"BatchRenameForm", "ZqButton1", "system-run"},
    {"BatchRenameForm", "ZqButton2", "dialog-cancel"},
    {"BatchRenameForm", "ZqSpeedButton1", "help-browser"},
    {"CalculateAspect", "ZqB_Calculate", "accessories-calculator"},
    {"CalculateAspect", "ZqButton3", "transform-crop"},
    {"CalculateAspect", "ZqSpeedButton1", "edit-select-all"},
    {"CalculateAspect", "ZqButton1", "help-browser"},
    {"CalculateAspect", "ZqButton2", "application-exit"},
    {"HelpForm", "ZqButton1", "window-close"},
    {"HelpForm", "ZqButton2", "document-save"},
    {"SaveToFolderForm", "ZqPersonal", "folder-open"},
    {"SaveToFolderForm", "ZqButton2", "document-save"},
    {"SaveToFolderForm", "ZqButton1", "dialog-cancel"},
    {"FormAnalize", "StartAnalizing", "media-playback-start"},
    {"FormAnalize", "StopAnalizing", "media-playback-stop"},
    {"FormAnalize", "ZqSpeedButton8", "zoom-fit-best"},
    {"FormAnalize", "ZqSpeedButton9", "help-browser"},
    {"FormAnalize", "ZqSpeedButton1", "zoom-fit-best"},
    {"FormAnalize", "ZqSaveDate", "document-save-as"},
    {"FormAnalize", "ZqSetforRealLength", "camera-photo"},
    {"FormAnalize", "ZqSpeedButton2", "zoom-fit-best"},
    {"FormAnalize", "ZqSpeedButton5", "document-save-as"},
    {"FormAnalize", "ZqSpeedButton3", "zoom-fit-best"},
    {"FormAnalize", "ZqSpeedButton6", "document-save-as"},
    {"FormAnalize", "ZqSpeedButton4", "zoom-fit-best"},
    {"FormAnalize", "ZqSpeedButton7", "document-save-as"},
    {"FormAnalize", "Zq_SaveRichedit", "document-save-as"},
    {"FormAnalize", "ZqButton1", "accessories-text-editor"},
    {"FormAnalize", "ZqButton2", "document-save"},
    {"FormAnalize", "ZqButton3", "window-close"},
    {"FormAnalize", "ZqButton4", "document-revert"},
    {"FormAnalize", "ZqSpeedButton10", "help-browser"},
    {"HistogramForm", "ZqSpeedButton1", "kivo2-transparent", true},
    {"HistogramForm", "ZqSpeedButton2", "window-close", true},
    {"FormSaveImage", "Zq_Close", "window-close"},
    {"FormSaveImage", "Zq_Save", "document-save-as"},
    {"FormSaveImage", "Zq_Mail", "mail-message-new"},
    {"FormSaveImage", "ZqOverWriteOrg", "document-save"},
    {"FormSaveImage", "ZqConfig", "document-properties"},
    {"FormSaveImage", "ZqPrevious", "go-previous"},
    {"FormSaveImage", "ZqNext", "go-next"},
    {"FormSaveImage", "Zq_PinDown", "emblem-default"},
    {"FormSaveImage", "Zq_CheckList", "view-list"},
    {"FormSaveImage", "Zq_Image1Show", "kivo2-compare"},
    {"FormSaveImage", "ZqSpeedButton1", "help-browser"},
    {"FormSaveImage", "ZqButton1", "process-stop"},
    {"FormSaveImage", "Zq_ToggleSelect", "edit-select-all"},
    {"DragForm", "ZqSpeedButton3", "window-close"},
    {"DragForm", "Zq_Save", "document-save"},
    {"DragForm", "ZqSpeedButton1", "view-sort-ascending"},
    {"SortForm", "ZqSpeedButton1", "window-close"},
    {"SortForm", "ZqBCloseAndUse", "dialog-ok"},
    {"FormCompare", "ZqClose", "window-close"},
    {"FormCompare", "Zq_CenterAll", "format-justify-center"},
    {"FormCompare", "ZqResizeAll", "zoom-original"},
    {"FormCompare", "ZqZoomAll", "zoom-in"},
    {"FormCompare", "ZqZoomPixel", "system-search"},
    {"FormCompare", "ZqSpeedButton1", "dialog-information"},
    {"FormCompare", "ZqSpeedButton2", "applets-screenshooter"},
    {"FormCompare", "ZqHelp", "help-browser"},
    {"UnitZoomFloat", "ZqButton1", "window-close"},
    {"PrintForm", "ZqClose", "window-close"},
    {"PrintForm", "ZqPrint", "document-print"},
    {"PrintForm", "ZqPrinterSetup", "document-page-setup"},
    {"PrintForm", "ZqSpeedButton1", "document-properties"},
    {"ExifInfoForm", "SB_Calc", "accessories-calculator"},
    {"ExifInfoForm", "ZqButton1", "document-save-as"},
    // Tool buttons whose pictures sit in their window's image list (the compare window's
    // panels share one list; "TBPaperclipOff" is the picture of a file not in the
    // paperclip).
    {"FormCompare", "TBClose", "window-close"},
    {"FormCompare", "TBDelete", "edit-delete"},
    {"FormCompare", "TBPaperclip", "mail-attachment"},
    {"FormCompare", "TBPaperclipOff", "kivo2-paperclip-off"},
    {"FormCompare", "TBCenter", "format-justify-center"},
    {"FormCompare", "TBRealSize", "zoom-original"},
    {"ImageCopyForm", "ToolButton3", "view-fullscreen"},
    {"ImageCopyForm", "ToolButton1", "kivo2-tile-left-half"},
    {"ImageCopyForm", "ToolButton2", "kivo2-tile-right-half"},
    {"ImageCopyForm", "ToolButton4", "kivo2-tile-left-third"},
    {"ImageCopyForm", "ToolButton5", "kivo2-tile-middle-third"},
    {"ImageCopyForm", "ToolButton6", "kivo2-tile-right-third"},
    {"ImageCopyForm", "ToolButton7", "kivo2-tile-top-left"},
    {"ImageCopyForm", "ToolButton10", "kivo2-tile-bottom-left"},
    {"ImageCopyForm", "ToolButton9", "kivo2-tile-top-right"},
    {"ImageCopyForm", "ToolButton11", "kivo2-tile-bottom-right"},
    {"ImageCopyForm", "ToolButton18", "kivo2-tile-top-row"},
    {"ImageCopyForm", "ToolButton19", "kivo2-tile-middle-row"},
    {"ImageCopyForm", "ToolButton20", "kivo2-tile-bottom-row"},
    {"ImageCopyForm", "ToolButton26", "system-search"},
    {"ImageCopyForm", "ToolButton22", "zoom-original"},
    {"ImageCopyForm", "ToolButton24", "edit-delete"},
    {"ImageCopyForm", "ToolButton13", "folder-open"},
    {"ImageCopyForm", "ToolButton15", "window-close"},
};

const GlyphRow* Row(const std::string& form, const std::string& button) {
  for (const GlyphRow& row : kGlyphs)
    if (form == row.form && button == row.button) return &row;
  return nullptr;
}

// A button's picture: the theme's symbolic form of the icon first (the plain one-colour
// drawing desktops use on buttons), else the icon itself.
bool ButtonPicture(const std::string& icon, int size, TBitmap& picture) {
  if (icon.empty()) return false;
  return (icon.rfind("kivo2-", 0) != 0 && IconBitmap(icon + "-symbolic", size, picture)) ||
         IconBitmap(icon, size, picture);
}

uint8_t Mix(int value, int target, int percent) { return uint8_t(value + (target - value) * percent / 100); }

template <class Button>
bool GiveGlyph(TComponent* component, const std::string& form) {
  auto* button = dynamic_cast<Button*>(component);
  if (!button || !button->Glyph()->Empty()) return false;
  const GlyphRow* row = Row(form, button->Name());
  TBitmap strip;
  if (!row || !ZqGlyphStrip(row->icon, button->Height() > 32 ? 24 : 16, 4, strip)) return false;
  button->SetGlyph(&strip);
  if (row->alone) {
    if (button->Hint().empty()) {
      button->SetHint(button->Caption());
      button->SetShowHint(true);
    }
    button->SetCaption(std::string());
  }
  return true;
}

}  // namespace

std::string ZqGlyphName(const std::string& form, const std::string& button) {
  const GlyphRow* row = Row(form, button);
  return row ? row->icon : std::string();
}

bool ZqGlyphStrip(const std::string& icon, int size, int cells, TBitmap& strip) {
  TBitmap image;
  if (cells < 1 || !ButtonPicture(icon, size, image) || image.PixelFormat() != pf32bit) return false;
  strip.SetPixelFormat(pf32bit);
  strip.SetSize(size * cells, size);
  for (int y = 0; y < size; ++y) {
    const uint8_t* from = image.ScanLine(y);
    uint8_t* row = strip.ScanLine(y);
    for (int cell = 0; cell < cells; ++cell)
      for (int x = 0; x < size; ++x) {
        const uint8_t* px = from + 4 * x;
        uint8_t* to = row + 4 * (cell * size + x);
        std::memcpy(to, px, 4);
        if (cell == 1) {
          // Disabled: a light grey of the picture's brightness, half as opaque.
          const int grey = std::min(230, (px[0] * 11 + px[1] * 59 + px[2] * 30) / 200 + 110);
          to[0] = to[1] = to[2] = uint8_t(grey);
          to[3] = uint8_t(px[3] / 2);
        } else if (cell == 2) {
          for (int c = 0; c < 3; ++c) to[c] = Mix(px[c], 0, 20);  // down: darker
        } else if (cell == 3) {
          for (int c = 0; c < 3; ++c) to[c] = Mix(px[c], 255, 25);  // hot: lighter
        }
      }
  }
  return true;
}

void ApplyZqGlyphs(TComponent* form) {
  if (!form) return;
  for (int i = 0; i < form->ComponentCount(); ++i) {
    TComponent* c = form->Components(i);
    if (!GiveGlyph<TZqSpeedButton>(c, form->Name())) GiveGlyph<TZqButton>(c, form->Name());
  }
}

void AddZqGlyphs(TImageList& list, const std::string& form, std::initializer_list<const char*> buttons) {
  for (const char* button : buttons) {
    TBitmap picture;
    if (!ButtonPicture(ZqGlyphName(form, button), list.Width(), picture)) {
      // The list keeps its order: a picture found nowhere stays an empty place.
      picture.SetPixelFormat(pf32bit);
      picture.SetSize(list.Width(), list.Height());
    }
    list.Add(&picture);
  }
}

bool ZqGlyphPicture(const std::string& form, const std::string& component, int size, TColor background,
                    TBitmap& picture) {
  TBitmap image;
  if (!IconBitmap(ZqGlyphName(form, component), size, image)) return false;
  picture.SetPixelFormat(pf24bit);
  picture.SetSize(size, size);
  picture.Canvas().Brush().SetColor(background);
  picture.Canvas().FillRect(Rect(0, 0, size, size));
  DrawBlended(picture.Canvas(), Rect(0, 0, size, size), image);
  return true;
}
