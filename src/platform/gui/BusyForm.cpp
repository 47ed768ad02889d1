#include "platform/gui/BusyForm.h"

#include <memory>

#include "platform/gui/GuiInternal.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/Threads.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

TBusyForm::TBusyForm(TComponent* AOwner, const std::string& name, const std::string& caption, const std::string& text)
    : TForm(AOwner) {
  SetName(name);
  SetCaption(caption);
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  // It stands in front of the window whose action waits, which the window manager raises
  // with it: a click on that window cannot hide it.
  SetPopupParent(gui::AskingForm(this));
  SetClientWidth(360);
  int top = 16;
  for (TLabel** label : {&Label1, &Label2}) {
    *label = new TLabel(this);
    (*label)->SetParent(this);
    (*label)->SetShowAccelChar(false);
    (*label)->SetWordWrap(true);
    (*label)->SetBounds(20, top, 320, 17);
    (*label)->SetCaption(label == &Label1 ? text : _("Press Esc to stop waiting."));
    (*label)->AdjustBounds();
    top = (*label)->Top() + (*label)->Height() + 8;
  }
  SetClientHeight(top + 8);
  DoCreate();
}

bool WaitBusyForLock(const std::string& fileName, const std::function<bool()>& over) {
  return WaitBusy(over, [&fileName] {
    return std::make_unique<TBusyForm>(
        nullptr, "LockWaitForm", _("Waiting"),
        Format(_("Another program is changing %s; waiting until it is done..."), {ExtractFileName(fileName)}));
  });
}
