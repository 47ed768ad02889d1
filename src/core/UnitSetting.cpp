#include "core/UnitSetting.h"

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TFormSettings* FormSettings = nullptr;

TFormSettings::TFormSettings(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormSettings");
  SetCaption("Preferences");
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetClientWidth(760);
  SetClientHeight(378);

  // Left column.
  GroupBoxEditor = NewControl<TGroupBox>(this, this, "GroupBoxEditor", "Alternate editor", 8, 8, 366, 52);
  JPGEdit = NewControl<TEdit>(this, GroupBoxEditor, "JPGEdit", 10, 20, 346, 21);

  GroupBoxColor = NewControl<TGroupBox>(this, this, "GroupBoxColor", "Color", 8, 66, 366, 98);
  NewControl<TLabel>(this, GroupBoxColor, "LabelBackground", "Picture background color", 10, 20, 346, 15);
  ColorBox1 = NewControl<TColorBox>(this, GroupBoxColor, "ColorBox1", 10, 38, 346, 22);
  ColorBox1->SetSelected(clWindow);
  ChB_ListBgColor = NewCheckBox(this, GroupBoxColor, "ChB_ListBgColor", "Gray listbox background", false, 10, 70, 346);

  GroupBoxExtensions = NewControl<TGroupBox>(this, this, "GroupBoxExtensions", "Extensions", 8, 170, 366, 48);
  ChB_Showtext = NewCheckBox(this, GroupBoxExtensions, "ChB_Showtext", "Show text files (*.txt) in viewer", true, 10,
                             20, 346);

  GroupBoxSlideshow = NewControl<TGroupBox>(this, this, "GroupBoxSlideshow", "Slide show delay", 8, 224, 366, 48);
  ChB_ShowDelay = NewCheckBox(this, GroupBoxSlideshow, "ChB_ShowDelay", "Show slide show delay buttons in the toolbar",
                              true, 10, 20, 346);

  GroupBoxWindows = NewControl<TGroupBox>(this, this, "GroupBoxWindows", "Windows options", 8, 278, 366, 56);
  BShortCut = NewControl<TButton>(this, GroupBoxWindows, "BShortCut", "Add shortcut to the desktop", 10, 20, 346, 25);

  // Right column.
  GroupBoxButtons = NewControl<TGroupBox>(this, this, "GroupBoxButtons", "Extra buttons", 386, 8, 366, 194);
  int y = 20;
  auto button = [&](const char* name, const char* caption) {
    TCheckBox* box = NewCheckBox(this, GroupBoxButtons, name, caption, true, 10, y, 346);
    y += 24;
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

  GroupBoxMemofiles = NewControl<TGroupBox>(this, this, "GroupBoxMemofiles", "Memo files", 386, 208, 366, 94);
  ChB_Playsound = NewCheckBox(this, GroupBoxMemofiles, "ChB_Playsound", "Auto play memo's ", true, 10, 20, 346);
  ChB_MemoButton =
      NewCheckBox(this, GroupBoxMemofiles, "ChB_MemoButton", "Show play voice memo button", false, 10, 44, 346);
  ChB_NoMemoHandling = NewCheckBox(this, GroupBoxMemofiles, "ChB_NoMemoHandling",
                                   "Don't handle hidden memo files (move copy paste delete)", false, 10, 68, 346);

  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Close", 652, 346, 100, 25);
  ZqButton1->SetModalResult(mrOk);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormSettings::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
