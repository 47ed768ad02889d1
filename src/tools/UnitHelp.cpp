#include "tools/UnitHelp.h"

#include <cerrno>

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "core/PictureLists.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/i18n/GnuGetText.h"

THelpForm* HelpForm = nullptr;

namespace {
// A text larger than this is no note to edit here.
constexpr int64_t kMaxTextBytes = int64_t(16) << 20;
}  // namespace

THelpForm::THelpForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("HelpForm");
  SetCaption("Help");
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetClientWidth(560);
  SetClientHeight(420);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alBottom, 37);
  Panel1->SetCaption("");
  ZqButton1 = NewControl<TZqButton>(this, Panel1, "ZqButton1", "Close", 8, 6, 100, 25);
  ZqButton2 = NewControl<TZqButton>(this, Panel1, "ZqButton2", "Save", 116, 6, 100, 25);
  ZqButton2->SetVisible(false);
  ZqButton2->SetEnabled(false);
  RichEdit1 = NewAligned<TRichEdit>(this, this, "RichEdit1", alClient);
  RichEdit1->SetScrollBars(ssBoth);
  RichEdit1->SetWantTabs(true);
  RichEdit1->SetWordWrap(false);
  Memo1 = NewAligned<TMemo>(this, this, "Memo1", alClient);
  Memo1->SetVisible(false);

  RichEdit1->OnChange = [this](TObject* Sender) { RichEdit1Change(Sender); };
  ZqButton1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    ZqButton1MouseDown(Sender, Button, Shift, X, Y);
  };
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void THelpForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void THelpForm::FormShow(TObject* /*Sender*/) {
  FLoaded.clear();
  if (FFileName.empty() || !FileExists(FFileName)) return;
  try {
    if (FileSizeByName(FFileName) > kMaxTextBytes)
      throw EReadError(Format(_("Cannot read file \"%s\". %s"), {FFileName, SysErrorMessage(EFBIG)}));
    RichEdit1->Lines()->LoadFromFile(FFileName);
    FLoaded = RichEdit1->Lines()->ToVector();
  } catch (const Exception& e) {
    ShowMessage(e.Message());
  }
  RichEdit1->SetModified(false);
  ZqButton2->SetEnabled(false);
}

void THelpForm::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  RichEdit1->Clear();
  RichEdit1->SetModified(false);
}

void THelpForm::RichEdit1Change(TObject* /*Sender*/) { ZqButton2->SetEnabled(RichEdit1->Modified()); }

void THelpForm::ZqButton1MouseDown(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                                   int /*Y*/) {
  ZqButton2->SetVisible(true);
}

void THelpForm::ZqButton1Click(TObject* /*Sender*/) {
  ZqButton2->SetVisible(false);
  Close();
}

void THelpForm::ZqButton2Click(TObject* /*Sender*/) {
  if (!SaveEdit(*RichEdit1->Lines())) return;
  RichEdit1->SetModified(false);
  ZqButton2->SetEnabled(false);
}

bool THelpForm::SaveEdit(const TStrings& Edited) {
  // The file (a show, the to-do list) is written as the main window writes its lists: under
  // the lock where it lives, under each of its names. Its lines are text here, not paths.
  const std::vector<std::string> edited = Edited.ToVector();
  const auto same = [](const std::string& line) { return line; };
  if (!Form1->ChangeList(FFileName,
                         [&](TStringList& lines) { return EditListLines(lines, FLoaded, edited, same, same); }))
    return false;
  FLoaded = edited;
  return true;
}
