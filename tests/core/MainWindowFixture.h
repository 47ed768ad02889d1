#pragma once
// The program's windows for the main-window, settings and palette tests: all 28 are
// created as at start-up, with the program folder in the test's sandbox (so the marker
// files are the test's own), the picture formats registered and the modal answers
// scripted.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/gui/ModalResponder.h"

class TForm1;

// "dword:0000002a": an integer as the registry stand-in's file writes it.
std::string Dword(uint32_t value);
// This build's number as the program stores it ("Version"): from the project version.
int32_t ThisBuild();
// The values of one key of a registry stand-in's file, read as text: name -> the text
// after '=' ("dword:00000001", "\"a text\"").
std::map<std::string, std::string> RegistryValues(const std::string& file, const std::string& key);
// The same values in the order the file holds them.
std::vector<std::pair<std::string, std::string>> RegistryEntries(const std::string& file, const std::string& key);
// The values of the program's key under HKEY_CURRENT_USER.
std::map<std::string, std::string> UserRegistryValues(const std::string& file);

// Environment variables for its lifetime: set (or, for std::nullopt, unset) at once, or only
// kept; given back as they were at its end.
class EnvironmentGuard {
 public:
  using Values = std::vector<std::pair<std::string, std::optional<std::string>>>;
  explicit EnvironmentGuard(const Values& values) {
    for (const auto& [name, value] : values) {
      const char* old = getenv(name.c_str());
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      Put(name, value);
    }
  }
  EnvironmentGuard(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      const char* old = getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
  }
  ~EnvironmentGuard() {
    for (const auto& [name, value] : saved_) Put(name, value);
  }
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

 private:
  static void Put(const std::string& name, const std::optional<std::string>& value) {
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  Values saved_;
};

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The sandbox's program folder (with a trailing '/').
  const std::string& ProgramFolder() const { return programDir_; }
  // Creates the 28 windows; the main window's program folder is ProgramFolder().
  void CreateWindows();
  // The first showing of the main window, as the message loop does it.
  void ShowMainWindow();
  // The command line of the program (the first element is the program itself).
  void SetArguments(const std::vector<std::string>& args);
  // Creates a picture file with ImageMagick ("convert -size WxH xc:COLOR file").
  void MakePicture(const std::string& file, int width = 64, int height = 48, const std::string& color = "red");
  // The registry stand-in's file of HKEY_CURRENT_USER.
  std::string RegistryFile() const;
  // Writes the settings key of HKEY_CURRENT_USER with these lines (REGEDIT4 value lines).
  void WriteRegistry(const std::vector<std::string>& valueLines);
  // Starts the program as this build with these stored values: the windows created and
  // the main window shown.
  void Start(const std::vector<std::string>& values = {});
  // The text of the last modal call (message, question) since the test began.
  static std::string LastMessage();
  // Expects the next modal call of that kind with exactly this text, answered with answer.
  static void ExpectMessage(const std::string& text, int answer = 1, ModalKind kind = ModalKind::ShowMessage);

 private:
  std::string programDir_;
};
