#pragma once
// The program's windows for the tool-window tests: all of them created as at start-up,
// with the program folder and FAppDir in the test's sandbox, the picture formats
// registered and the modal answers scripted (an unexpected question fails the test).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/gui/ModalResponder.h"

class ToolWindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The sandbox's program folder and the main window's FAppDir (with trailing '/').
  const std::string& ProgramFolder() const { return programDir_; }
  // A folder of the sandbox for the test's pictures (with trailing '/').
  const std::string& Pictures() const { return pictures_; }
  // Makes a picture file with ImageMagick: plasma of the given size (a distinct seed per
  // call), in any format the name's extension says.
  std::string MakePicture(const std::string& name, int width, int height);
  // The main window lists the pictures folder (bare names in a folder view).
  void ListPictures(const std::vector<std::string>& names);
  // Expects one modal call of that kind (a message or a question) with exactly this text,
  // answered with answer.
  static void ExpectMessage(const std::string& text, int answer = 1, ModalKind kind = ModalKind::Any);

 private:
  std::string programDir_, pictures_;
  int seed_ = 1;
};
