#include "metadata/windows/ExifInfoUnit2.h"

#include "platform/gui/ComponentTranslation.h"

TExifInfoForm* ExifInfoForm = nullptr;

TExifInfoForm::TExifInfoForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("ExifInfoForm");
  SetCaption("ExifInfoForm");
  SetFormStyle(fsStayOnTop);
  SetBounds(311, 145, 347, 359);
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TExifInfoForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
