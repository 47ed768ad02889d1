#pragma once
// Translation of a form's components: the texts a form shows (captions, hints, item
// lists) pass through the gettext lookup _() when the form is created.
#include <functional>
#include <string>

class TComponent;

// Translates root and every component it owns, recursively, as the class library's
// translator does with published texts: Caption and Hint of controls and menu items,
// Text of edits and combo boxes, the lines of memos, the items of list boxes, combo
// boxes, radio groups and check list boxes, status panel texts and list view column
// captions. Tree nodes and list view rows are data, not translated. Names ignored with
// TP_Ignore / TP_GlobalIgnoreClass are skipped. Empty texts stay empty.
void TranslateComponent(TComponent* root);

// Do not translate this property of the named component of root ("Caption", "Hint",
// "Text", "Items", "Lines"), or with an empty property name the whole component; the
// name "" means root itself. Kept per root until the root is freed.
void TP_Ignore(TComponent* root, const std::string& componentName, const std::string& property = std::string());
// Never translate components for which test is true (an empty property: any property).
void TP_GlobalIgnoreClassIf(std::function<bool(TComponent*)> test, const std::string& property = std::string());
// Never translate components of class T or a class derived from it:
//   TP_GlobalIgnoreClass<TEdit>();  TP_GlobalIgnoreClass<TComboBox>("Text");
template <class T>
void TP_GlobalIgnoreClass(const std::string& property = std::string()) {
  TP_GlobalIgnoreClassIf([](TComponent* c) { return dynamic_cast<T*>(c) != nullptr; }, property);
}
// Forgets every global class ignore.
void TP_ClearGlobalIgnores();
// Forgets the ignore entries of root (done automatically when root is freed).
void TP_ClearIgnores(TComponent* root);
