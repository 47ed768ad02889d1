#pragma once
// The preferences dialog: a stay-on-top dialog with two pages. "Settings" shows a tree of
// eight option groups and the group box of the selected node; "Quick Configure" offers
// three ready-made configurations. Many of its controls are stored settings (the settings
// store loads and saves their states, the main window reads them); most options act at
// once on the main window, and nothing is written to the store by the dialog itself.
#include <cstdint>
#include <string>

#include "platform/gui/Forms.h"

class TPageControl;
class TTabSheet;
class TTreeView;
class TImageList;
class TImage;
class TGroupBox;
class TEdit;
class TButton;
class TColorBox;
class TCheckBox;
class TListBox;
class TStaticText;
class TComboBox;
class TSpinEdit;
class TLabel;
class TMemo;
class TOpenDialog;
class TZqButton;
class TvShortcut;

class TFormSettings : public TForm {
 public:
  explicit TFormSettings(TComponent* AOwner);

  TPageControl* PageControl1 = nullptr;
  TTabSheet* TabSheet1 = nullptr;  // "Settings"
  TTabSheet* TabSheet2 = nullptr;  // "Quick Configure"
  TTreeView* TreeView1 = nullptr;  // eight nodes; node n has image index n and shows group n
  TImageList* ConfigImages = nullptr;
  TImage* Image2 = nullptr;
  TImage* Image6 = nullptr;

  // Group 0: alternate editor.
  TGroupBox* GroupBoxEditor = nullptr;
  TEdit* JPGEdit = nullptr;  // program path of the alternate editor
  TButton* Button1 = nullptr;  // "Browse"
  TButton* KillHistoryButton = nullptr;
  // Group 1: colour.
  TGroupBox* GroupBoxColor = nullptr;
  TColorBox* ColorBox1 = nullptr;  // background colour of the picture area
  TButton* Button2 = nullptr;  // "Reset to default color"
  TCheckBox* ChB_ListBgColor = nullptr;
  // Group 2: associated extensions.
  TGroupBox* GroupBoxExtensions = nullptr;
  TEdit* Edit1 = nullptr;  // extension to add
  TButton* Button3 = nullptr;  // "Add"
  TButton* Button4 = nullptr;  // "Remove"
  TButton* Button5 = nullptr;  // "Reset"
  TListBox* ListBox1 = nullptr;  // the associated extensions being edited
  TStaticText* StaticText1 = nullptr;  // program of the selected entry
  TCheckBox* ChB_Showtext = nullptr;
  // Group 3: extra buttons of the main window.
  TGroupBox* GroupBoxButtons = nullptr;
  TCheckBox* Chb_CopyButton = nullptr;
  TCheckBox* ChB_RotateButton = nullptr;
  TCheckBox* CB_ShowCameraBttn = nullptr;
  TCheckBox* ChB_AddImportButton = nullptr;
  TCheckBox* CB_Shotgraph = nullptr;
  TCheckBox* CB_FileSort = nullptr;
  TCheckBox* CB_PrintButton = nullptr;
  // Group 4: language.
  TGroupBox* GroupBoxLanguage = nullptr;
  TComboBox* ComboBox1 = nullptr;
  TStaticText* StaticText2 = nullptr;  // the language code
  // Group 5: memo files.
  TGroupBox* GroupBoxMemofiles = nullptr;
  TCheckBox* ChB_Playsound = nullptr;
  TCheckBox* ChB_MemoButton = nullptr;
  TCheckBox* ChB_NoMemoHandling = nullptr;
  // Group 6: slide show delay.
  TGroupBox* GroupBoxSlideshow = nullptr;
  TSpinEdit* SpinEdit1 = nullptr;  // seconds, 0 to 99
  TCheckBox* ChB_ShowDelay = nullptr;
  // Group 7: system options.
  TGroupBox* GroupBoxWindows = nullptr;
  TButton* BShortCut = nullptr;  // adds or removes the desktop launcher
  TCheckBox* ChB_Screensaver = nullptr;
  TButton* USB_Button = nullptr;  // stand-alone marker toggle; designed hidden

  // The page "Quick Configure".
  TLabel* Label8 = nullptr;  // program name and version
  TMemo* Memo1 = nullptr;
  TZqButton* ZqSlow = nullptr;
  TZqButton* ZqNormal = nullptr;
  TZqButton* ZqFast = nullptr;
  TCheckBox* ChB_Recursive = nullptr;

  TZqButton* ZqButton1 = nullptr;  // "Close", modal result OK
  TOpenDialog* OpenDialog1 = nullptr;
  TvShortcut* vShortcut1 = nullptr;  // destination: the desktop

  // The extension list of the dialog differs from the program's list.
  bool FAssocChanged = false;

  // Fills ListBox1 from the main window's associated extensions and forgets the edits.
  void PlaceAssociatedInListbox();
  // Captions BShortCut by whether the desktop launcher exists.
  void InitShotcutDialogs();
  // Creates the desktop launcher.
  void DesktopShortcut();
  // The desktop launcher's file.
  std::string DesktopLinkPath() const;
  // The group boxes in node order.
  TGroupBox* GroupBox(int index) const;
  static constexpr int GroupCount = 8;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  // Esc (outside an open drop-down list) closes the dialog as the close button does.
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void TreeView1Click(TObject* Sender);
  void PageControl1Change(TObject* Sender);
  void Button1Click(TObject* Sender);
  void KillHistoryButtonClick(TObject* Sender);
  void ColorBox1Change(TObject* Sender);
  void Button2Click(TObject* Sender);
  void ChB_ListBgColorClick(TObject* Sender);
  void Edit1Change(TObject* Sender);
  void Edit1KeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void Button3Click(TObject* Sender);
  void ListBox1Click(TObject* Sender);
  void Button4Click(TObject* Sender);
  void Button5Click(TObject* Sender);
  void ComboBox1Click(TObject* Sender);
  void SpinEdit1Change(TObject* Sender);
  void ChB_MemoButtonClick(TObject* Sender);
  // One handler for the eight extra-button check boxes: the main-window button of the
  // clicked box takes the box's state.
  void ExtraButtonClick(TObject* Sender);
  void ZqSlowClick(TObject* Sender);
  void ZqNormalClick(TObject* Sender);
  void ZqFastClick(TObject* Sender);
  void BShortCutClick(TObject* Sender);
  void USB_ButtonClick(TObject* Sender);

 private:
  void buildSettingsPage();
  void buildQuickPage();
  void drawPictures();
  void showGroup(int index);
  void updateUsbCaption();
  void runQuickConfiguration(int preset);
};

extern TFormSettings* FormSettings;
