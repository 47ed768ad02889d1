#pragma once
// The main window on a folder of files, for the tests of the paperclip, the shows, the
// folder search, the program history and the renames: files made with a copy kept apart
// for cmp, the messages the commands showed, and the lines of a list file.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "OrganiseFixture.h"
#include "platform/gui/ModalResponder.h"
#include "platform/gui/StdCtrls.h"

class ListsTest : public OrganiseTest {
 protected:
  // A file of these bytes, and a copy kept apart for the comparisons.
  void MakeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    testsupport::WriteFile(path, bytes);
    const std::string keep = Kept(path);
    std::filesystem::create_directories(std::filesystem::path(keep).parent_path());
    testsupport::WriteFile(keep, bytes);
  }
  std::string Kept(const std::string& path) const { return testsupport::TempPath("kept") + path; }
  // path holds the bytes the file named kept was made with (cmp).
  bool SameAsMade(const std::string& path, const std::string& kept) const {
    return testsupport::Run({"cmp", "-s", path, Kept(kept)}).exitCode == 0;
  }
  bool Intact(const std::string& path) const { return SameAsMade(path, path); }

  // The texts of the message boxes and questions since the last Reset, in order.
  static std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    for (const ModalRecord& r : ModalResponder::History()) texts.push_back(r.text);
    return texts;
  }
  // The transient message panel's text.
  static std::string Panel() { return Form1->LabelShowTextTop->Caption(); }

  std::string Paperclip() const { return Form1->FAppDir + "paperclip.lst"; }
  std::string Shows() const { return Form1->FAppDir + "Shows/"; }
  // A list file's lines as the file holds them (each ended by CR LF).
  static std::string ListText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
  }
  static std::string ModificationTime(const std::string& path) {
    return testsupport::Run({"stat", "-c", "%y", path}).out;
  }
};
