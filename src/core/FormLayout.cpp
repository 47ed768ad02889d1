#include "core/FormLayout.h"

#include "platform/gui/ExtCtrls.h"

TCheckBox* NewCheckBox(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption,
                       bool checked, int left, int top, int width) {
  auto* box = NewControl<TCheckBox>(owner, parent, name, caption, left, top, width, 17);
  box->SetChecked(checked);
  return box;
}

void SetHintText(TControl* control, const std::string& hint) {
  control->SetHint(hint);
  control->SetShowHint(true);
}

void SetItems(TStrings* items, const std::vector<std::string>& lines) {
  items->Clear();
  items->AddStrings(lines);
}

TMenuItem* NewMenuItem(TComponent* owner, TMenuItem* parent, const char* name, const std::string& caption) {
  auto* item = new TMenuItem(owner);
  item->SetName(name);
  item->SetCaption(caption);
  parent->Add(item);
  return item;
}

TSplitter* NewSplitter(TComponent* owner, TWinControl* parent, const char* name, TAlign align) {
  auto* splitter = NewAligned<TSplitter>(owner, parent, name, align);
  if (align == alTop || align == alBottom)
    splitter->SetHeight(4);
  else
    splitter->SetWidth(4);
  return splitter;
}
