#include "tools/UnitGetMemorycard.h"

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"

TFormGetcard* FormGetcard = nullptr;

TFormGetcard::TFormGetcard(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormGetcard");
  SetCaption("Import files from memorycard or folder");
  SetFormStyle(fsStayOnTop);
  SetClientWidth(560);
  SetClientHeight(400);

  QzDirTree211 = NewControl<TQzDirTree21>(this, this, "QzDirTree211", 8, 8, 260, 384);
  NewControl<TLabel>(this, this, "Label4", "Target folder:", 276, 8, 276, 15);
  StaticText2 = NewControl<TStaticText>(this, this, "StaticText2", "", 276, 26, 276, 19);
  SetHintText(StaticText2, "Change target folder by selecting a folder in the normal tree view");
  Label3 = NewControl<TLabel>(this, this, "Label3", "", 276, 54, 276, 15);
  ChB_CardFilePrefix = NewCheckBox(this, this, "ChB_CardFilePrefix", "Enable Prefix/Suffix", false, 276, 80, 276);
  SetHintText(ChB_CardFilePrefix, "If checked prefix/suffix will be used");
  PanelPrefix = NewControl<TPanel>(this, this, "PanelPrefix", 276, 102, 276, 60);
  PanelPrefix->SetVisible(false);
  PrefixEdit = NewControl<TEdit>(this, PanelPrefix, "PrefixEdit", 8, 8, 180, 21);
  SetHintText(PrefixEdit, " Check result at the example below");
  ChB_Suffix = NewCheckBox(this, PanelPrefix, "ChB_Suffix", "Suffix", true, 196, 10, 76);
  SetHintText(ChB_Suffix, "text behind the name");
  NewControl<TLabel>(this, this, "Label5", "Progress", 276, 316, 276, 15);
  ProgressBar1 = NewControl<TProgressBar>(this, this, "ProgressBar1", 276, 334, 276, 18);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "&Cancel", 452, 367, 100, 25);

  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormGetcard::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormGetcard::ZqButton2Click(TObject* /*Sender*/) { Close(); }
