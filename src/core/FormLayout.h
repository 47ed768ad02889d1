#pragma once
// Helpers with which the windows build their components in code (what a form resource
// held): each makes a component owned by the form, names it, puts it on its parent and
// places it.
#include <string>
#include <vector>

#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

template <class T>
T* NewControl(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width, int height) {
  T* control = new T(owner);
  control->SetName(name);
  control->SetParent(parent);
  control->SetBounds(left, top, width, height);
  return control;
}

// The same with a caption (or text, for edits).
template <class T>
T* NewControl(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption, int left,
              int top, int width, int height) {
  T* control = NewControl<T>(owner, parent, name, left, top, width, height);
  control->SetCaption(caption);
  return control;
}

// A control that fills an edge or the rest of its parent.
template <class T>
T* NewAligned(TComponent* owner, TWinControl* parent, const char* name, TAlign align, int size = 0) {
  T* control = NewControl<T>(owner, parent, name, 0, 0, size, size);
  control->SetAlign(align);
  return control;
}

// A splitter on an edge: aligned first, then given its thickness of 4 pixels (a splitter
// starts aligned left, where its parent stretches it to its full height).
class TSplitter;
TSplitter* NewSplitter(TComponent* owner, TWinControl* parent, const char* name, TAlign align);

TCheckBox* NewCheckBox(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption,
                       bool checked, int left, int top, int width);
// A hint that shows when the mouse rests on the control.
void SetHintText(TControl* control, const std::string& hint);
// Replaces the items of a combo box, radio group or list box.
void SetItems(TStrings* items, const std::vector<std::string>& lines);
TMenuItem* NewMenuItem(TComponent* owner, TMenuItem* parent, const char* name, const std::string& caption);
