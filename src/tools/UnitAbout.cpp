#include "tools/UnitAbout.h"

#include "controls/RunText.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"

TAboutBox* AboutBox = nullptr;

TAboutBox::TAboutBox(TComponent* AOwner) : TForm(AOwner) {
  SetName("AboutBox");
  SetCaption("About");
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetClientWidth(360);
  SetClientHeight(292);

  Panel1 = NewControl<TPanel>(this, this, "Panel1", 8, 8, 344, 240);
  Panel1->SetBevelOuter(bvLowered);
  ProgramIcon = NewControl<TImage>(this, Panel1, "ProgramIcon", 12, 12, 32, 32);
  ProgramIcon->SetStretch(true);
  ProductName = NewControl<TLabel>(this, Panel1, "ProductName", "Product Name Kivo2", 56, 8, 276, 15);
  Version = NewControl<TLabel>(this, Panel1, "Version", "Version:", 56, 26, 60, 15);
  VersionLabel = NewControl<TLabel>(this, Panel1, "VersionLabel", "1.001", 120, 26, 212, 15);
  Copyright = NewControl<TLabel>(this, Panel1, "Copyright", "Picture viewer and photo organiser", 56, 44, 276, 15);
  Label1 = NewControl<TLabel>(this, Panel1, "Label1", "Currently supported file types", 12, 68, 320, 15);
  Comments = NewControl<TLabel>(this, Panel1, "Comments", "", 12, 88, 320, 120);
  Comments->SetWordWrap(true);
  RunningText1 = NewControl<TRunningText>(this, Panel1, "RunningText1", 31, 214, 281, 17);
  RunningText1->SetDirect(diRightToLeft);
  RunningText1->SetContinuous(true);
  RunningText1->SetSteps(1000);
  RunningText1->SetSpeed(30);
  RunningText1->SetColor(clCream);
  RunningText1->SetBevelOuter(bvNone);
  RunningText1->SetActive(false);
  OKButton = NewControl<TButton>(this, this, "OKButton", "OK", 144, 256, 75, 25);
  OKButton->SetDefault(true);
  OKButton->SetModalResult(mrOk);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  DoCreate();
}

void TAboutBox::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TAboutBox::FormShow(TObject* /*Sender*/) {
  if (TIcon* icon = Application->Icon(); icon && !icon->Empty()) ProgramIcon->Picture()->Assign(icon);
  RunningText1->SetCaption(_("Thanks to the authors of the component libraries this program is built on."));
  RunningText1->SetActive(true);
}

void TAboutBox::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  RunningText1->SetActive(false);
  RunningText1->SetCaption(std::string());
}
void TAboutBox::FormActivate(TObject* /*Sender*/) {
  // Metafiles are registered picture types that are listed in folders but never shown:
  // they are named apart from the types that are.
  std::string types = FCommentText;
  bool metafiles = false;
  for (const std::string ext : {".wmf ", ".emf "}) {
    for (size_t at = types.find(ext); at != std::string::npos; at = types.find(ext, at)) {
      if (at > 0 && types[at - 1] != ' ') {
        ++at;
        continue;
      }
      types.erase(at, ext.size());
      metafiles = true;
    }
  }
  if (metafiles) types += "\n" + _("Metafiles (.wmf .emf) are listed but never shown.");
  Comments->SetCaption(types);
}
