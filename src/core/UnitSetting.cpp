// The preferences dialog: its components (what its form resource held), the node
// pictures and the creation handler.
#include "core/UnitSetting.h"

#include "controls/ZqButton.h"
#include "controls/ZqGlyphs.h"
#include "controls/vShortcut.h"
#include "core/FormLayout.h"
#include "core/UnitSetting_Presets.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Spin.h"
#include "platform/i18n/GnuGetText.h"

TFormSettings* FormSettings = nullptr;

namespace {

// The group boxes stand one at a time right of the option tree.
constexpr int kGroupLeft = 184, kGroupTop = 6, kGroupWidth = 512, kGroupHeight = 308;
constexpr int kInner = kGroupWidth - 20;

TGroupBox* NewGroup(TFormSettings* form, TWinControl* parent, const char* name, const char* caption) {
  auto* box = NewControl<TGroupBox>(form, parent, name, caption, kGroupLeft, kGroupTop, kGroupWidth, kGroupHeight);
  box->SetVisible(false);
  return box;
}
}  // namespace

TFormSettings::TFormSettings(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormSettings");
  SetCaption("Preferences");
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetClientWidth(720);
  SetClientHeight(404);

  PageControl1 = NewControl<TPageControl>(this, this, "PageControl1", 6, 6, 708, 356);
  TabSheet1 = new TTabSheet(this);
  TabSheet1->SetName("TabSheet1");
  TabSheet1->SetPageControl(PageControl1);
  TabSheet1->SetCaption("Settings");
  TabSheet2 = new TTabSheet(this);
  TabSheet2->SetName("TabSheet2");
  TabSheet2->SetPageControl(PageControl1);
  TabSheet2->SetCaption("Quick Configure");
  PageControl1->SetActivePage(TabSheet1);

  buildSettingsPage();
  buildQuickPage();
  drawPictures();

  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Close", 614, 370, 100, 28);
  ZqButton1->SetModalResult(mrOk);
  OpenDialog1 = new TOpenDialog(this);
  OpenDialog1->SetName("OpenDialog1");
  vShortcut1 = new TvShortcut(this);
  vShortcut1->SetName("vShortcut1");
  vShortcut1->SetDestination(sdDeskTop);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  // Esc closes the dialog as its close button does.
  SetKeyPreview(true);
  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };
  DoCreate();
}

void TFormSettings::buildSettingsPage() {
  TreeView1 = NewControl<TTreeView>(this, TabSheet1, "TreeView1", 6, 6, 170, 240);
  TreeView1->SetReadOnly(true);
  TreeView1->SetShowRoot(false);
  TreeView1->SetHideSelection(false);
  ConfigImages = new TImageList(this);
  ConfigImages->SetName("ConfigImages");
  AddZqGlyphs(*ConfigImages, "FormSettings",
              {"GroupBoxEditor", "GroupBoxColor", "GroupBoxExtensions", "GroupBoxButtons", "GroupBoxLanguage",
               "GroupBoxMemofiles", "GroupBoxSlideshow", "GroupBoxWindows"});
  TreeView1->SetImages(ConfigImages);
  for (int i = 0; i < GroupCount; ++i) {
    TTreeNode* node = TreeView1->Items()->Add(nullptr, std::string());
    node->SetImageIndex(i);
    node->SetSelectedIndex(i);
  }
  TreeView1->OnClick = [this](TObject* Sender) { TreeView1Click(Sender); };
  TreeView1->OnChange = [this](TObject* Sender, TTreeNode*) { TreeView1Click(Sender); };
  Image2 = NewControl<TImage>(this, TabSheet1, "Image2", 6, 252, 170, 62);
  Image2->SetCenter(true);

  GroupBoxEditor = NewGroup(this, TabSheet1, "GroupBoxEditor", "Alternate editor");
  JPGEdit = NewControl<TEdit>(this, GroupBoxEditor, "JPGEdit", 10, 24, 396, 23);
  Button1 = NewControl<TButton>(this, GroupBoxEditor, "Button1", "Browse", 412, 23, 90, 25);
  Button1->OnClick = [this](TObject* Sender) { Button1Click(Sender); };
  KillHistoryButton =
      NewControl<TButton>(this, GroupBoxEditor, "KillHistoryButton", "Clear history list", 10, 62, 200, 25);
  KillHistoryButton->OnClick = [this](TObject* Sender) { KillHistoryButtonClick(Sender); };

  GroupBoxColor = NewGroup(this, TabSheet1, "GroupBoxColor", "Color");
  NewControl<TLabel>(this, GroupBoxColor, "LabelBackground", "Picture background color", 10, 24, kInner, 15);
  ColorBox1 = NewControl<TColorBox>(this, GroupBoxColor, "ColorBox1", 10, 42, 240, 22);
  // The user picks colours by their names ("Money Green"), not by the class library's
  // identifiers.
  TColorBoxStyle colorStyle = ColorBox1->Style();
  colorStyle.Include(cbPrettyNames);
  ColorBox1->SetStyle(colorStyle);
  ColorBox1->SetSelected(clWindow);
  ColorBox1->OnChange = [this](TObject* Sender) { ColorBox1Change(Sender); };
  Button2 = NewControl<TButton>(this, GroupBoxColor, "Button2", "Reset to default color", 10, 72, 240, 25);
  Button2->OnClick = [this](TObject* Sender) { Button2Click(Sender); };
  ChB_ListBgColor = NewCheckBox(this, GroupBoxColor, "ChB_ListBgColor", "Gray listbox background", false, 10, 112,
                                kInner);
  ChB_ListBgColor->OnClick = [this](TObject* Sender) { ChB_ListBgColorClick(Sender); };

  GroupBoxExtensions = NewGroup(this, TabSheet1, "GroupBoxExtensions", "Extensions");
  Edit1 = NewControl<TEdit>(this, GroupBoxExtensions, "Edit1", 10, 24, 110, 23);
  Edit1->OnChange = [this](TObject* Sender) { Edit1Change(Sender); };
  Edit1->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { Edit1KeyDown(Sender, Key, Shift); };
  Button3 = NewControl<TButton>(this, GroupBoxExtensions, "Button3", "Add", 126, 23, 80, 25);
  Button4 = NewControl<TButton>(this, GroupBoxExtensions, "Button4", "Remove", 212, 23, 80, 25);
  Button5 = NewControl<TButton>(this, GroupBoxExtensions, "Button5", "Reset", 298, 23, 80, 25);
  for (TButton* b : {Button3, Button4, Button5}) b->SetEnabled(false);
  Button3->OnClick = [this](TObject* Sender) { Button3Click(Sender); };
  Button4->OnClick = [this](TObject* Sender) { Button4Click(Sender); };
  Button5->OnClick = [this](TObject* Sender) { Button5Click(Sender); };
  ListBox1 = NewControl<TListBox>(this, GroupBoxExtensions, "ListBox1", 10, 56, 110, 206);
  ListBox1->SetShowHint(true);
  ListBox1->OnClick = [this](TObject* Sender) { ListBox1Click(Sender); };
  StaticText1 = NewControl<TStaticText>(this, GroupBoxExtensions, "StaticText1", "...", 126, 58, 376, 17);
  ChB_Showtext = NewCheckBox(this, GroupBoxExtensions, "ChB_Showtext", "Show text files (*.txt) in viewer", true, 10,
                             272, kInner);

  GroupBoxButtons = NewGroup(this, TabSheet1, "GroupBoxButtons", "Extra buttons");
  int y = 24;
  auto button = [&](const char* name, const char* caption) {
    TCheckBox* box = NewCheckBox(this, GroupBoxButtons, name, caption, true, 10, y, kInner);
    box->OnClick = [this](TObject* Sender) { ExtraButtonClick(Sender); };
    y += 26;
    return box;
  };
  Chb_CopyButton = button("Chb_CopyButton", "Copy to new window button");
  ChB_RotateButton = button("ChB_RotateButton", "Rotate/flip JPG images button");
  CB_ShowCameraBttn = button("CB_ShowCameraBttn", "Add image to paperclip button");
  ChB_AddImportButton = button("ChB_AddImportButton", "Add import button");
  CB_Shotgraph = button("CB_Shotgraph", "Shotgraph, graphs for mm, ISO, shutter and aperture");
  CB_FileSort = button("CB_FileSort", "File sort button (top button bar)");
  CB_FileSort->SetChecked(false);
  CB_PrintButton = button("CB_PrintButton", "Print button");

  GroupBoxLanguage = NewGroup(this, TabSheet1, "GroupBoxLanguage", "Language");
  ComboBox1 = NewControl<TComboBox>(this, GroupBoxLanguage, "ComboBox1", 10, 24, 200, 23);
  SetItems(ComboBox1->Items(), {"English", "Dutch"});
  ComboBox1->SetText("Select a language");
  ComboBox1->OnClick = [this](TObject* Sender) { ComboBox1Click(Sender); };
  StaticText2 = NewControl<TStaticText>(this, GroupBoxLanguage, "StaticText2", 222, 28, 60, 17);

  GroupBoxMemofiles = NewGroup(this, TabSheet1, "GroupBoxMemofiles", "Memo files");
  ChB_Playsound = NewCheckBox(this, GroupBoxMemofiles, "ChB_Playsound", "Auto play memo's ", true, 10, 24, kInner);
  ChB_MemoButton =
      NewCheckBox(this, GroupBoxMemofiles, "ChB_MemoButton", "Show play voice memo button", false, 10, 50, kInner);
  ChB_MemoButton->OnClick = [this](TObject* Sender) { ChB_MemoButtonClick(Sender); };
  ChB_NoMemoHandling = NewCheckBox(this, GroupBoxMemofiles, "ChB_NoMemoHandling",
                                   "Don't handle hidden memo files (move copy paste delete)", false, 10, 76, kInner);

  GroupBoxSlideshow = NewGroup(this, TabSheet1, "GroupBoxSlideshow", "Slide show delay");
  SpinEdit1 = NewControl<TSpinEdit>(this, GroupBoxSlideshow, "SpinEdit1", 10, 24, 70, 23);
  SpinEdit1->SetMinValue(0);
  SpinEdit1->SetMaxValue(99);
  SpinEdit1->SetValue(2);
  SpinEdit1->OnChange = [this](TObject* Sender) { SpinEdit1Change(Sender); };
  ChB_ShowDelay = NewCheckBox(this, GroupBoxSlideshow, "ChB_ShowDelay", "Show slide show delay buttons in the toolbar",
                              true, 10, 60, kInner);
  ChB_ShowDelay->OnClick = [this](TObject* Sender) { ExtraButtonClick(Sender); };

  GroupBoxWindows = NewGroup(this, TabSheet1, "GroupBoxWindows", "System options");
  BShortCut = NewControl<TButton>(this, GroupBoxWindows, "BShortCut", "Add shortcut to the desktop", 10, 24, 280, 25);
  BShortCut->OnClick = [this](TObject* Sender) { BShortCutClick(Sender); };
  ChB_Screensaver =
      NewCheckBox(this, GroupBoxWindows, "ChB_Screensaver", "Disable the screensaver", false, 10, 62, kInner);
  // The marker button's texts stay English in every language.
  USB_Button = NewControl<TButton>(this, GroupBoxWindows, "USB_Button", 10, 96, 340, 25);
  TP_Ignore(this, "USB_Button");
  USB_Button->SetVisible(false);
  USB_Button->OnClick = [this](TObject* Sender) { USB_ButtonClick(Sender); };

  PageControl1->OnChange = [this](TObject* Sender) { PageControl1Change(Sender); };
}

void TFormSettings::buildQuickPage() {
  Image6 = NewControl<TImage>(this, TabSheet2, "Image6", 6, 6, 110, 62);
  Image6->SetCenter(true);
  Label8 = NewControl<TLabel>(this, TabSheet2, "Label8", 126, 8, 560, 15);
  Memo1 = NewControl<TMemo>(this, TabSheet2, "Memo1", 126, 28, 568, 44);
  Memo1->SetReadOnly(true);
  Memo1->SetWordWrap(true);
  Memo1->SetScrollBars(ssNone);
  Memo1->Lines()->Add(
      "Each configuration sets the resample filter, the preview, the thumbnail size, fading, the slide show delay "
      "and the thumbnail cache at once.");

  // The three buttons head the columns of the grid that shows their values.
  constexpr int gridTop = 128, rowHeight = 22, firstColumn = 168, columnWidth = 176;
  TZqButton** buttons[QuickPresetCount] = {&ZqSlow, &ZqNormal, &ZqFast};
  for (int p = 0; p < QuickPresetCount; ++p) {
    const TQuickPreset& preset = QuickPresets[p];
    TZqButton* b = NewControl<TZqButton>(this, TabSheet2, preset.ButtonName, preset.Caption,
                                         firstColumn + p * columnWidth, 80, columnWidth - 8, 36);
    b->SetWordWrap(true);
    *buttons[p] = b;
  }
  ZqSlow->OnClick = [this](TObject* Sender) { ZqSlowClick(Sender); };
  ZqNormal->OnClick = [this](TObject* Sender) { ZqNormalClick(Sender); };
  ZqFast->OnClick = [this](TObject* Sender) { ZqFastClick(Sender); };

  const char* const rows[] = {"Resample filter", "Resample filter on", "Preview", "Thumbnail size",
                              "Fading",          "Slide show delay",   "Thumbnail cache"};
  for (int r = 0; r < 7; ++r) {
    const int top = gridTop + r * rowHeight;
    NewControl<TLabel>(this, TabSheet2, ("LabelRow" + IntToStr(r)).c_str(), rows[r], 8, top, 158, 15);
    for (int p = 0; p < QuickPresetCount; ++p) {
      const TQuickPreset& preset = QuickPresets[p];
      std::string value;
      switch (r) {
        case 0: value = preset.FilterName; break;
        case 1: value = preset.SmoothStretch ? "on" : "off"; break;
        case 2: value = preset.Preview ? "on" : "off"; break;
        case 3: value = preset.ThumbSize == 0 ? "small" : "medium"; break;
        case 4: value = preset.Fading ? "on" : "off"; break;
        case 5: value = preset.SlideDelay == 1 ? "1 second" : "2 seconds"; break;
        default: value = preset.ThumbCache ? "on" : "off"; break;
      }
      const std::string name = "LabelValue" + IntToStr(r) + IntToStr(p);
      NewControl<TLabel>(this, TabSheet2, name.c_str(), value, firstColumn + p * columnWidth + 4, top,
                         columnWidth - 12, 15);
    }
  }
  ChB_Recursive = NewCheckBox(this, TabSheet2, "ChB_Recursive", "auto view the subfolders", true, 8,
                              gridTop + 7 * rowHeight + 8, 400);
}

void TFormSettings::drawPictures() {
  TBitmap picture;
  if (ZqGlyphPicture("FormSettings", "Image2", 48, clBtnFace, picture)) Image2->Picture()->Assign(&picture);
}

TGroupBox* TFormSettings::GroupBox(int index) const {
  TGroupBox* const boxes[GroupCount] = {GroupBoxEditor,    GroupBoxColor,     GroupBoxExtensions, GroupBoxButtons,
                                        GroupBoxLanguage,  GroupBoxMemofiles, GroupBoxSlideshow,  GroupBoxWindows};
  return index >= 0 && index < GroupCount ? boxes[index] : nullptr;
}

void TFormSettings::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  const char* const captions[GroupCount] = {"Alternate editor", "Color",      "Extensions",       "Extra buttons",
                                            "Language",         "Memo files", "Slide show delay", "System options"};
  for (int i = 0; i < GroupCount; ++i) TreeView1->Items()->Item(i)->SetText(_(captions[i]));
}
