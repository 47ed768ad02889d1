// The main window's side of the card import and the thumbnail tools: the commands that
// open those windows.
#include "controls/EventScrollbox.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "tools/UnitGetMemorycard.h"
#include "tools/UnitSearch.h"
#include "tools/UnitThumbSettings.h"

void TForm1::Importfrommemorycardorfolder1Click(TObject* /*Sender*/) {
  if (!FormGetcard || FormGetcard->Visible()) return;
  // The name of the last thumbnail goes first: opening the card folder lists it at once and
  // shows its first file's thumbnail with the name under it.
  FormGetcard->Label3->SetCaption(std::string());
  if (DirectoryExists(FCardFolder)) {
    FormGetcard->PrefixEdit->SetEnabled(FormGetcard->ChB_CardFilePrefix->Checked());
    FormGetcard->QzDirTree211->OpenPath(FCardFolder);
    FormGetcard->QzDirTree211->ChangePath(FCardFolder);
  } else {
    // The list went when the window closed: the folder its tree still shows is listed again.
    const std::string shown = FormGetcard->QzDirTree211->SelectedPath();
    if (!shown.empty() && shown[0] == '/' && DirectoryExists(shown))
      FormGetcard->QzDirTree211DirChange(FormGetcard->QzDirTree211, shown);
  }
  FormGetcard->PanelPrefix->SetVisible(FormGetcard->ChB_CardFilePrefix->Checked());
  FormGetcard->StaticText2->SetCaption(QzDirTree211->SelectedPath());
  FormGetcard->FCopying = false;
  FWorkFiles->Clear();
  FormGetcard->Show();
}

void TForm1::Settings1Click(TObject* /*Sender*/) { showPaletteAtPictureArea(FormThumbsettings); }

void TForm1::CreateallthumbsforSelTreeClick(TObject* /*Sender*/) {
  const std::string started = _("Background thumbnail creation starts at ") + QzDirTree211->SelectedPath();
  ShowIt(started);
  FormThumbsettings->GreateAllThumbsinTree();
  // The message stands while the job runs; when it has ended or was stopped it goes,
  // unless another message took its place meanwhile.
  if (!Application->Terminated() && LabelShowTextTop->Caption() == started) ShowItHide();
}

void TForm1::Stopbackgroundcreation1Click(TObject* /*Sender*/) {
  FBackgroundThumbs = false;
  Application->ProcessMessages();
}

void TForm1::bindToolWindows() {
  for (TMenuItem* item : {Importfrommemorycardorfolder1, Importfrommemorycardorfolder2, Pastememorycardfiles1,
                          Pastecardfoldercontents})
    item->OnClick = [this](TObject* Sender) { Importfrommemorycardorfolder1Click(Sender); };
  Settings1->OnClick = [this](TObject* Sender) { Settings1Click(Sender); };
  CreateallthumbsforSelTree->OnClick = [this](TObject* Sender) { CreateallthumbsforSelTreeClick(Sender); };
  Stopbackgroundcreation1->OnClick = [this](TObject* Sender) { Stopbackgroundcreation1Click(Sender); };
  Stopbackgroundcreation1->SetEnabled(false);
}
