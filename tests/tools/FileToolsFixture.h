#pragma once
// The tool-window fixture with what the tests of the card import, search, rename and
// thumbnail tools need besides: fresh folders, the main tree's folder, messages expected
// by their text, and actions run while a job handles events.
#include <functional>
#include <string>
#include <vector>

#include "ToolWindowFixture.h"

class FileToolsTest : public ToolWindowTest {
 protected:
  void TearDown() override;

  // A fresh folder of the sandbox (with trailing '/').
  std::string Folder(const std::string& name);
  // The main folder tree selects folder (the destination of copies).
  void SelectMainFolder(const std::string& folder);
  // Runs action once, at the next handling of events (the first pump of a running job).
  static void AtNextEvents(std::function<void()> action);
  // Runs action once, from the first handling of events at which ready() holds (asked
  // every millisecond).
  static void WhenReady(std::function<bool()> ready, std::function<void()> action);
};

// The files of a folder (names only, sorted), hidden ones too.
std::vector<std::string> FileNames(const std::string& folder);
// cmp: both files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b);
// Today's date as the name fields write it: the English short date (M/d/yyyy) with its
// slashes as hyphens, from date(1).
std::string TodayInNames();
