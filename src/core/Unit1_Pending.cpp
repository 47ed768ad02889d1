// Least versions of the main-window routines that the history,
// file-command, help, favorites and shows work completes: enough for the keys and views
// that call them. The work on those parts replaces them.
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/SysUtils.h"

void TForm1::FillHistory() {}

void TForm1::P_DeletefileClick(TObject* /*Sender*/) {}

void TForm1::M_HelpClick(TObject* /*Sender*/) {}

void TForm1::Reload1Click(TObject* /*Sender*/) {
  // The folder is listed anew.
  FLastPath.clear();
  setWithQzDirPath(false);
}

void TForm1::M_OpenShowClick(TObject* /*Sender*/) {
  // Closes the paperclip and shows view; the folder tree takes its place again.
  if (!TreeView1->Visible()) return;
  TreeView1->SetVisible(false);
  QzDirTree211->SetVisible(true);
  Zq_CustomShow->SetDown(false);
}

void TForm1::ZqFavoriteslistClick(TObject* /*Sender*/) {
  PanelFavorites->SetVisible(ZqFavoriteslist->Down());
  Splitter3->SetVisible(ZqFavoriteslist->Down());
  M_Favorites->SetChecked(ZqFavoriteslist->Down());
}
