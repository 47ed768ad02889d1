#pragma once
// Shared by the GUI tests: every test starts with an empty modal script, and an
// unanswered modal call fails the running test.
#include <gtest/gtest.h>

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
