#include "tools/UnitEditName.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

#include "controls/ZqButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

TFormEditName* FormEditName = nullptr;

namespace {

// The length of the UTF-8 character at s[i]; 0 when the bytes there are none.
size_t CharacterLength(const std::string& s, size_t i) {
  const auto byte = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
  const unsigned lead = byte(i);
  if (lead < 0x80) return 1;
  const size_t n = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (n == 0) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  // No overlong forms, no surrogates, nothing above U+10FFFF.
  const unsigned second = byte(i + 1);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
      (lead == 0xF4 && second > 0x8F))
    return 0;
  return n;
}

// The name the user means by edited, the text of an edit that showed original: the parts
// of original the edit still shows as they were, at its front and at its end, keep their
// bytes (bytes that are not UTF-8 show as letters, which the edit gives back as UTF-8);
// what was typed stays as typed.
std::string NameAsEdited(const std::string& original, const std::string& edited) {
  // The original in pieces, a character or a byte that is none, each with the text it shows.
  struct Piece {
    size_t at;
    std::string shown;
  };
  std::vector<Piece> pieces;
  for (size_t i = 0; i < original.size();) {
    const size_t n = std::max<size_t>(1, CharacterLength(original, i));
    pieces.push_back({i, DisplayTextOf(std::string_view(original).substr(i, n))});
    i += n;
  }
  // The pieces the edit still shows as they were at its front and at its end keep their bytes.
  size_t front = 0, head = 0;
  while (front < pieces.size() && edited.compare(head, pieces[front].shown.size(), pieces[front].shown) == 0)
    head += pieces[front++].shown.size();
  size_t back = pieces.size(), tail = 0;
  while (back > front && tail + pieces[back - 1].shown.size() <= edited.size() - head &&
         edited.compare(edited.size() - tail - pieces[back - 1].shown.size(), pieces[back - 1].shown.size(),
                        pieces[back - 1].shown) == 0)
    tail += pieces[--back].shown.size();
  const size_t keptFront = front < pieces.size() ? pieces[front].at : original.size();
  const size_t keptBack = back < pieces.size() ? pieces[back].at : original.size();
  return original.substr(0, keptFront) + edited.substr(head, edited.size() - head - tail) + original.substr(keptBack);
}

}  // namespace

TFormEditName::TFormEditName(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormEditName");
  SetCaption("Rename");
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetClientWidth(400);
  SetClientHeight(118);

  NewControl<TLabel>(this, this, "Label1", "Enter new name", 8, 8, 300, 15);
  Edit1 = NewControl<TEdit>(this, this, "Edit1", 8, 26, 300, 21);
  Edit2 = NewControl<TEdit>(this, this, "Edit2", 312, 26, 80, 21);
  Edit2->SetReadOnly(true);
  SetHintText(Edit2, "Click once = uppercase - doubleclick = lowercase");
  Actionlabel = NewControl<TLabel>(this, this, "Actionlabel", "", 8, 54, 384, 15);
  Actionlabel->SetVisible(false);
  Actionlabel->Font()->SetColor(clRed);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Rename", 184, 84, 100, 25);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "Close", 292, 84, 100, 25);

  SetActiveControl(Edit1);
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  Edit1->OnChange = [this](TObject* Sender) { Edit1Change(Sender); };
  Edit1->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { Edit1KeyDown(Sender, Key, Shift); };
  Edit2->OnClick = [this](TObject* Sender) { Edit2Click(Sender); };
  Edit2->OnDblClick = [this](TObject* Sender) { Edit2DblClick(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  DoCreate();
}

void TFormEditName::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

// Every opening starts in the name box with the name selected, wherever the keyboard was
// when the window closed last (on Close): typing replaces the name, Return renames.
void TFormEditName::FormShow(TObject* /*Sender*/) {
  SetActiveControl(Edit1);
  Edit1->SelectAll();
}

void TFormEditName::showAction(const std::string& text) {
  Actionlabel->SetCaption(text);
  Actionlabel->SetVisible(true);
}

void TFormEditName::ZqButton1Click(TObject* /*Sender*/) {
  if (Edit1->Text().empty()) return;
  // What the user left of the old name keeps its bytes (also where they are not UTF-8).
  FNewName = NameAsEdited(FileNameWithoutExt(FOldPath), Edit1->Text());
  // A name typed with the extension loses it: the extension box adds it.
  if (Pos(LowerCase(FExtension), LowerCase(FNewName)) > 0) FNewName = ChangeFileExt(FNewName, "");
  FNewName += NameAsEdited(FExtension, Edit2->Text());
  // The name stays a name: no folder part, no path characters, not "." or "..".
  if (!IsValidFileName(FNewName, true)) {
    showAction(_("/\\:*?\"<>| characters are not allow in file names"));
    return;
  }
  const std::string folder = ExtractFilePath(FOldPath);
  const std::string target = folder + FNewName;
  if (target == FOldPath) {
    SetModalResult(mrOk);
    return;
  }
  // Another entry of that name is never replaced; the file itself under a name that differs
  // only in case (a case-blind file system) may be renamed.
  if ((FileExists(target) || DirectoryExists(target)) && !SameFile(FOldPath, target)) {
    showAction(_("New name allready exists"));
    return;
  }
  if (TranslatedMessageDialog(_("Rename file to") + "\r" + target, mtConfirmation, {mbYes, mbNo}, 0) == mrNo) return;
  int result = 0;
  if (OnRenameFile) {
    result = OnRenameFile(FOldPath, target);
  } else {
    ClearReadOnly(FOldPath);
    if (!RenameFile(FOldPath, target)) result = EIO;
  }
  if (result < 0) {
    FNewName.clear();
    SetModalResult(mrCancel);
  } else if (result > 0) {
    showAction(_("Could't rename the file"));
  } else {
    SetModalResult(mrOk);
  }
}

void TFormEditName::ZqButton2Click(TObject* /*Sender*/) {
  Actionlabel->SetVisible(false);
  Close();
}

void TFormEditName::Edit1Change(TObject* /*Sender*/) { Actionlabel->SetVisible(false); }

void TFormEditName::Edit1KeyDown(TObject* Sender, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key != VK_RETURN) return;
  Key = 0;
  ZqButton1Click(Sender);
}

void TFormEditName::Edit2Click(TObject* /*Sender*/) { Edit2->SetText(UpperCase(Edit2->Text())); }

void TFormEditName::Edit2DblClick(TObject* /*Sender*/) { Edit2->SetText(LowerCase(Edit2->Text())); }
