#pragma once
// Shared setup of the explorer control tests: an application, a form to put controls on,
// a scratch folder, scripted answers to the messages the controls show, and the system's
// own tools (find, stat, cmp, ls, unzip, gio) as the judges of what happened on disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "controls/QzConsts.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ModalResponder.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "platform/shell/ShellExplorer.h"

namespace explorertest {

namespace fs = std::filesystem;

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The names find lists directly in dir (-type d or f, or any when type is empty).
inline std::vector<std::string> FindNames(const std::string& dir, const std::string& type) {
  std::vector<std::string> args{"find", dir, "-mindepth", "1", "-maxdepth", "1"};
  if (!type.empty()) args.insert(args.end(), {"-type", type});
  args.insert(args.end(), {"-printf", "%f\\n"});
  auto r = testsupport::Run(args);
  std::vector<std::string> names = Lines(r.out);
  std::sort(names.begin(), names.end());
  return names;
}

inline bool SameBytes(const std::string& a, const std::string& b) {
  return testsupport::Run({"cmp", "-s", a, b}).exitCode == 0;
}

inline bool Exists(const std::string& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

class ExplorerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitTranslation(testsupport::ProgramDir() + "/locale");
    UseLanguage("en");
    Application->Initialize();
    form_ = new TForm(nullptr);
    form_->SetBounds(0, 0, 640, 480);
    root_ = testsupport::TempPath("explorer");
    fs::create_directories(root_);
  }
  void TearDown() override {
    delete form_;
    form_ = nullptr;
    ClearFileFaults();
    SetMailFilesHandler(nullptr);
    DoneApplication();
    UseLanguage("en");
    ExplorerLanguage = lnEnglish;
    EXPECT_EQ(ModalResponder::Pending(), 0) << "a message the test expected was not shown";
  }

  // Runs the event loop until done() holds or ms have passed.
  bool WaitFor(const std::function<bool()>& done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      Application->ProcessMessages();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Application->ProcessMessages();
    return done();
  }

  // Expects one message dialog whose text holds part; answered with answer.
  void ExpectMessage(const std::string& part, int answer = mrOk) {
    ModalResponder::Expect(ModalKind::MessageDlg, [part, answer](ModalRequest& r) {
      EXPECT_NE(r.text.find(part), std::string::npos) << "message: " << r.text;
      return answer;
    });
  }

  // Makes a file with bytes of its own (size n), so copies can be told apart.
  std::string MakeFile(const std::string& path, size_t n, char seed = 'a') {
    fs::create_directories(fs::path(path).parent_path());
    std::string bytes(n, seed);
    for (size_t i = 0; i < n; i += 97) bytes[i] = char(seed + i % 13);
    testsupport::WriteFile(path, bytes);
    return bytes;
  }

  TForm* form_ = nullptr;
  std::string root_;
};

}  // namespace explorertest
