#pragma once
// Shared by the controls tests: a shown form to put controls on (an unanswered modal call
// fails the test), and small pixel helpers.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/Graphics.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/ModalResponder.h"

class FormTest : public testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    ModalResponder::Reset();
    ModalResponder::SetFailureHook([](const std::string& message) { ADD_FAILURE() << message; });
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 400, 300);
  }
  void TearDown() override {
    form.reset();
    ModalResponder::Reset();
    GuiTesting::ProcessEvents();
  }
  // A control of the form, placed at the given bounds.
  template <class T>
  T* Add(int left, int top, int width, int height, TWinControl* parent = nullptr) {
    T* c = new T(form.get());
    c->SetParent(parent ? parent : form.get());
    c->SetBounds(left, top, width, height);
    return c;
  }
  void ShowForm() {
    form->Show();
    GuiTesting::ProcessEvents();
  }
  std::unique_ptr<TForm> form;
};

namespace pixels {

// The bounding box of the pixels inside r that match (empty when none do).
inline TRect Bounds(const TBitmap& b, const TRect& r, const std::function<bool(TColor)>& match) {
  TRect out(r.Right, r.Bottom, r.Left, r.Top);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      if (match(b.PixelColor(x, y))) {
        out.Left = std::min(out.Left, x);
        out.Top = std::min(out.Top, y);
        out.Right = std::max(out.Right, x + 1);
        out.Bottom = std::max(out.Bottom, y + 1);
      }
  return out.Left < out.Right ? out : TRect();
}

inline std::function<bool(TColor)> Is(TColor c) {
  return [c](TColor p) { return p == c; };
}

// Darker than 0x70 on every channel: text ink on a light face.
inline bool Ink(TColor c) { return GetRValue(c) < 0x70 && GetGValue(c) < 0x70 && GetBValue(c) < 0x70; }

}  // namespace pixels
