#pragma once
// Shared by the GUI tests: every test starts with an empty modal script, and an
// unanswered modal call fails the running test.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/ModalResponder.h"

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    ModalResponder::Reset();
    ModalResponder::SetFailureHook([](const std::string& message) { ADD_FAILURE() << message; });
  }
  void TearDown() override {
    EXPECT_EQ(ModalResponder::Pending(), 0) << "scripted modal answers left unused";
    ModalResponder::Reset();
    GuiTesting::ProcessEvents();
  }
};

// A form (of the client size given, or as made) and the controls a test places on it.
struct Host {
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
  Host() = default;
  Host(int clientWidth, int clientHeight) {
    form->SetClientWidth(clientWidth);
    form->SetClientHeight(clientHeight);
  }
  // A new control owned by the form, on parent (the form when null), at l, t, w x h (-1: its own size).
  template <class T>
  T* Add(int l = 0, int t = 0, int w = -1, int h = -1, TWinControl* parent = nullptr) {
    auto* c = new T(form.get());
    c->SetParent(parent ? parent : form.get());
    c->SetBounds(l, t, w < 0 ? c->Width() : w, h < 0 ? c->Height() : h);
    return c;
  }
};
