#pragma once
// A number edit with up and down buttons.
#include "platform/gui/StdCtrls.h"

class TSpinEdit : public TCustomEdit {
 public:
  explicit TSpinEdit(TComponent* AOwner);
  // The number shown, kept between MinValue and MaxValue (when MaxValue > MinValue).
  // Setting it changes the text and so runs OnChange.
  int Value() const;
  void SetValue(int v);
  int MinValue() const { return minValue_; }
  void SetMinValue(int v);
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int v);
  int Increment() const { return increment_; }
  void SetIncrement(int v);
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool v);

 protected:
  std::string GetText() const override;
  void TextChanged() override;
  void ColorChanged() override;

 private:
  void applyRange();
  int minValue_ = 0, maxValue_ = 0, increment_ = 1;
  bool editorEnabled_ = true;
};
