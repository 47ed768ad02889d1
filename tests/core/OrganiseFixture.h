#pragma once
// The main window on a folder of files, for the tests of the file commands and the
// lossless rotation: entries chosen by name, and what a command left in a folder.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ViewerFixture.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"

// The entries of a folder, hidden ones too, sorted; none for a missing folder.
inline std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  if (std::filesystem::exists(folder))
    for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class OrganiseTest : public ViewerTest {
 protected:
  void TearDown() override {
    ClearFileFaults();
    ViewerTest::TearDown();
  }

  // Selects exactly the entries of these names (the list in multi-select mode); letter
  // case counts ("A.jpg" is not "a.jpg").
  void Select(const std::vector<std::string>& names) {
    Form1->ListBox1->SetMultiSelect(true);
    Form1->ListBox1->ClearSelection();
    const std::vector<std::string> entries = Form1->ListBox1->Items()->ToVector();
    for (const std::string& name : names) {
      const auto it = std::find(entries.begin(), entries.end(), name);
      ASSERT_NE(it, entries.end()) << name;
      Form1->ListBox1->SetSelected(int(it - entries.begin()), true);
    }
  }
};
