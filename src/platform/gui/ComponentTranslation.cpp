// Translation of a form's components through the gettext lookup, with per-form and
// program-wide ignore lists.
#include "platform/gui/ComponentTranslation.h"

#include <map>
#include <set>
#include <strings.h>
#include <utility>
#include <vector>

#include "platform/gui/CheckLst.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"

namespace {

struct Lower {
  bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};
using IgnoreSet = std::set<std::pair<std::string, std::string>>;  // (component name, property), lower case

std::string LowerText(const std::string& s) {
  std::string out = s;
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
  return out;
}

// Forgets a root's ignore list when the root is freed.
class IgnoreKeeper : public TComponent {
 public:
  IgnoreKeeper() : TComponent(nullptr) {}
  std::map<TComponent*, IgnoreSet> ignores;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove) ignores.erase(component);
  }
};

IgnoreKeeper& Keeper() {
  static IgnoreKeeper* keeper = new IgnoreKeeper();
  return *keeper;
}

struct ClassIgnore {
  std::function<bool(TComponent*)> test;
  std::string property;
};
std::vector<ClassIgnore>& ClassIgnores() {
  static std::vector<ClassIgnore> list;
  return list;
}

class Translator {
 public:
  explicit Translator(TComponent* root) : root_(root) {
    auto it = Keeper().ignores.find(root);
    if (it != Keeper().ignores.end()) ignores_ = &it->second;
  }

  void Walk(TComponent* c) {
    Translate(c);
    // Components a radio group makes for its items follow the items.
    if (dynamic_cast<TCustomRadioGroup*>(c)) return;
    for (int i = 0; i < c->ComponentCount(); ++i) Walk(c->Components(i));
  }

 private:
  bool Ignored(TComponent* c, const std::string& property) const {
    const std::string name = c == root_ ? std::string() : LowerText(c->Name());
    if (ignores_) {
      if (ignores_->count({name, std::string()}) || ignores_->count({name, LowerText(property)})) return true;
    }
    for (const auto& ci : ClassIgnores())
      if ((ci.property.empty() || strcasecmp(ci.property.c_str(), property.c_str()) == 0) && ci.test(c)) return true;
    return false;
  }

  static std::string T(const std::string& s) { return s.empty() ? s : _(s); }

  template <class Get, class Set>
  void Text(TComponent* c, const char* property, Get get, Set set) {
    if (Ignored(c, property)) return;
    std::string before = get();
    std::string after = T(before);
    if (after != before) set(after);
  }

  void Lines(TComponent* c, const char* property, TStrings* lines) {
    if (!lines || Ignored(c, property)) return;
    lines->BeginUpdate();
    for (int i = 0; i < lines->Count(); ++i) {
      std::string before = lines->Strings(i);
      std::string after = T(before);
      if (after != before) lines->SetStrings(i, after);
    }
    lines->EndUpdate();
  }

  void Translate(TComponent* c) {
    if (auto* item = dynamic_cast<TMenuItem*>(c)) {
      if (!item->IsLine())
        Text(c, "Caption", [&] { return item->Caption(); }, [&](const std::string& s) { item->SetCaption(s); });
      Text(c, "Hint", [&] { return item->Hint(); }, [&](const std::string& s) { item->SetHint(s); });
      return;
    }
    if (auto* dlg = dynamic_cast<TOpenDialog*>(c)) {
      Text(c, "Title", [&] { return dlg->Title(); }, [&](const std::string& s) { dlg->SetTitle(s); });
      Text(c, "Filter", [&] { return dlg->Filter(); }, [&](const std::string& s) { dlg->SetFilter(s); });
      return;
    }
    auto* control = dynamic_cast<TControl*>(c);
    if (!control) return;
    auto setText = [&](const std::string& s) { control->SetCaption(s); };
    auto getText = [&] { return control->Caption(); };
    if (auto* memo = dynamic_cast<TMemo*>(c)) {
      Lines(c, "Lines", memo->Lines());
    } else if (auto* combo = dynamic_cast<TCustomComboBox*>(c)) {
      // A chosen item stays chosen; a typed text is translated like an edit's.
      if (!dynamic_cast<TColorBox*>(c)) {
        int index = combo->ItemIndex();
        Lines(c, "Items", combo->Items());
        if (index >= 0)
          combo->SetItemIndex(index);
        else
          Text(c, "Text", getText, setText);
      }
    } else {
      Text(c, dynamic_cast<TCustomEdit*>(c) ? "Text" : "Caption", getText, setText);
    }
    Text(c, "Hint", [&] { return control->Hint(); }, [&](const std::string& s) { control->SetHint(s); });
    if (auto* list = dynamic_cast<TCustomListBox*>(c)) Lines(c, "Items", list->Items());
    // The group keeps its item index while its items change in place.
    if (auto* group = dynamic_cast<TCustomRadioGroup*>(c)) Lines(c, "Items", group->Items());
    if (auto* bar = dynamic_cast<TStatusBar*>(c)) {
      Text(c, "SimpleText", [&] { return bar->SimpleText(); }, [&](const std::string& s) { bar->SetSimpleText(s); });
      if (!Ignored(c, "Panels"))
        for (int i = 0; i < bar->Panels()->Count(); ++i) {
          TStatusPanel* p = bar->Panels()->Items(i);
          std::string after = T(p->Text());
          if (after != p->Text()) p->SetText(after);
        }
    }
    if (auto* view = dynamic_cast<TListView*>(c); view && !Ignored(c, "Columns"))
      for (int i = 0; i < view->Columns()->Count(); ++i) {
        TListColumn* col = view->Columns()->Items(i);
        std::string after = T(col->Caption());
        if (after != col->Caption()) col->SetCaption(after);
      }
  }

  TComponent* root_;
  const IgnoreSet* ignores_ = nullptr;
};

}  // namespace

void TranslateComponent(TComponent* root) {
  if (!root) return;
  Translator(root).Walk(root);
}

void TP_Ignore(TComponent* root, const std::string& componentName, const std::string& property) {
  if (!root) return;
  IgnoreKeeper& k = Keeper();
  if (!k.ignores.count(root)) root->FreeNotification(&k);
  k.ignores[root].insert({LowerText(componentName), LowerText(property)});
}

void TP_GlobalIgnoreClassIf(std::function<bool(TComponent*)> test, const std::string& property) {
  ClassIgnores().push_back(ClassIgnore{std::move(test), property});
}

void TP_ClearGlobalIgnores() { ClassIgnores().clear(); }

void TP_ClearIgnores(TComponent* root) { Keeper().ignores.erase(root); }
