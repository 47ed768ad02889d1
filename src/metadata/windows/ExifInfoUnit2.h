#pragma once
// The EXIF information window. This first version is the window with its caption and
// designed position; its report pages and the query operations come with the window's
// own work.
#include "platform/gui/Forms.h"

class TExifInfoForm : public TForm {
 public:
  explicit TExifInfoForm(TComponent* AOwner);

  void FormCreate(TObject* Sender);
};

extern TExifInfoForm* ExifInfoForm;
