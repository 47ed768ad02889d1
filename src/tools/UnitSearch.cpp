#include "tools/UnitSearch.h"

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"

TSearchForm* SearchForm = nullptr;

TSearchForm::TSearchForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("SearchForm");
  SetCaption("Find file");
  SetBorderStyle(bsToolWindow);
  SetFormStyle(fsStayOnTop);
  SetClientWidth(340);
  SetClientHeight(166);

  NewControl<TLabel>(this, this, "Label1", "Enter a search string", 8, 8, 320, 15);
  EditSearch = NewControl<TEdit>(this, this, "EditSearch", 8, 26, 324, 21);
  NewControl<TLabel>(this, this, "Label2", "Select drive or folder", 8, 56, 320, 15);
  EditPath = NewControl<TEdit>(this, this, "EditPath", 8, 74, 160, 21);
  SetHintText(EditPath, "Use the arrow to change drive or folder");
  QzDirTreeCombo281 = NewControl<TQzDirTreeCombo28>(this, this, "QzDirTreeCombo281", 172, 74, 160, 21);
  QzDirTreeCombo281->SetTreeHeight(240);
  Actionlabel = NewControl<TLabel>(this, this, "Actionlabel", "", 8, 104, 320, 15);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "&Close", 232, 134, 100, 25);

  SetActiveControl(EditSearch);
  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  QzDirTreeCombo281->OnPathChange = [this](TObject* Sender, const std::string& path) {
    QzDirTreeCombo281PathChange(Sender, path);
  };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TSearchForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TSearchForm::ZqButton2Click(TObject* /*Sender*/) { Close(); }

void TSearchForm::QzDirTreeCombo281PathChange(TObject* /*Sender*/, const std::string& /*SelectedPath*/) {
  EditPath->SetText(QzDirTreeCombo281->SelectedPath());
}
