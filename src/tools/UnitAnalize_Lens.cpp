// The lens-equivalence list editor on the Shotgraph window's last page: loads the
// user's list (or a new one, or the shipped defaults) into the editor, saves it in
// one piece and has the main window read it again.
#include "controls/ZqButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitAnalize.h"

namespace {

// A list larger than this is no list of cameras.
constexpr int64_t kMaxListSize = 8 << 20;

// Loads a list file into the editor; false (with the reason said) when it cannot be read.
bool LoadList(TMemo* memo, const std::string& file) {
  try {
    if (GetFileSizeByName(file) > kMaxListSize) throw EReadError(Format(_("Cannot read file %s"), {file}));
    TStringList lines;
    lines.LoadFromFile(file);
    memo->Lines()->SetText(lines.Text());
    return true;
  } catch (const Exception& e) {
    ShowMessage(e.Message());
    return false;
  }
}

}  // namespace

std::string TFormAnalize::equivalentFile() const { return Form1->FAppDir + "cam_equivalent.txt"; }

std::string TFormAnalize::defaultEquivalentFile() const {
  return Form1 ? FindNameNoCase(Form1->FProgramDir, "cam_equivalent.kv2") : std::string();
}

bool TFormAnalize::beginEditing(const std::string& file) {
  Memo1->Clear();
  Memo1->SetEnabled(true);
  Memo1->SetColor(clWindow);
  if (file.empty() || LoadList(Memo1, file)) return true;
  ZqButton3Click(this);
  return false;
}

void TFormAnalize::ZqButton1Click(TObject* /*Sender*/) {
  const std::string path = equivalentFile();
  Memo1->Font()->SetColor(clWindowText);
  if (!beginEditing(FileExists(path) ? path : std::string())) return;
  if (!FileExists(path)) {
    Memo1->Lines()->Add(_("; Lines started with a semicolon (;) are ignored bij Shotgraph"));
    Memo1->Lines()->Add(_("; See the help how to add cameras without 35mm information in the exif."));
  }
  // Editing: a second "Edit/show" cannot wipe what was typed; "Close" drops it on purpose.
  ZqButton3->SetEnabled(true);
  ZqButton4->SetEnabled(true);
  ZqButton1->SetEnabled(false);
  if (FileExists(path)) ZqButton2->SetEnabled(false);
}

void TFormAnalize::ZqButton2Click(TObject* /*Sender*/) {
  if (TranslatedMessageDialog(_("Save and use current text as equivalent list?"), mtConfirmation,
                              TMsgDlgButtons{mbYes, mbNo}, 0) == mrNo)
    return;
  try {
    // Written whole under the lock of its folder, to a temporary file renamed over the
    // list only when complete.
    ChangeListFile(equivalentFile(), [this](TStringList& lines) {
      lines.Assign(*Memo1->Lines());
      return true;
    });
  } catch (const Exception& e) {
    // The old list stays as it was, and the text stays in the editor.
    ShowMessage(e.Message());
    return;
  }
  Memo1->SetEnabled(false);
  Memo1->Clear();
  Memo1->SetColor(clCream);
  ZqButton2->SetEnabled(false);
  ZqButton3->SetEnabled(false);
  ZqButton1->SetEnabled(true);
  ZqButton4->SetEnabled(true);
  Form1->FEquivalentList->Clear();
  Form1->ReadEquivalentData();
  setButtonstate();
  PageControl1->SetActivePage(TabSheet1);
  DistributeCharts(true);
}

void TFormAnalize::ZqButton3Click(TObject* /*Sender*/) {
  ZqButton1->SetEnabled(true);
  ZqButton2->SetEnabled(false);
  ZqButton3->SetEnabled(false);
  Memo1->SetEnabled(false);
  Memo1->SetColor(clCream);
  Memo1->Clear();
}

void TFormAnalize::ZqButton4Click(TObject* /*Sender*/) {
  const std::string defaults = defaultEquivalentFile();
  if (defaults.empty()) return;
  if (!beginEditing(defaults)) return;
  ZqButton1->SetEnabled(true);
  ZqButton2->SetEnabled(true);
  ZqButton3->SetEnabled(true);
  ZqButton4->SetEnabled(false);
  Memo1->Font()->SetColor(TColor(0x008000));
}

void TFormAnalize::Memo1Change(TObject* /*Sender*/) {
  // Only an edit of the list counts: emptying the editor at rest offers nothing to save.
  if (Memo1->Enabled()) ZqButton2->SetEnabled(true);
}
