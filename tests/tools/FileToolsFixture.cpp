#include "FileToolsFixture.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <thread>

#include "controls/QzFileExplorer28.h"
#include "core/Unit1.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Threads.h"
#include "platform/rtl/FileFaults.h"

namespace fs = std::filesystem;

void FileToolsTest::TearDown() {
  ClearFileFaults();
  ToolWindowTest::TearDown();
}

std::string FileToolsTest::Folder(const std::string& name) {
  const std::string folder = testsupport::TempPath(name) + "/";
  fs::create_directories(folder);
  return folder;
}

void FileToolsTest::SelectMainFolder(const std::string& folder) {
  Form1->QzDirTree211->OpenPath(folder);
  ASSERT_EQ(Form1->QzDirTree211->SelectedPath(), folder);
}

void FileToolsTest::AtNextEvents(std::function<void()> action) {
  // Posted from another thread, the call waits in the event queue for the next pump.
  std::thread poster([action = std::move(action)] { TThread::Queue(nullptr, action); });
  poster.join();
}

void FileToolsTest::WhenReady(std::function<bool()> ready, std::function<void()> action) {
  auto* timer = new TTimer(Application);
  timer->SetInterval(1);
  timer->OnTimer = [timer, ready = std::move(ready), action = std::move(action)](TObject*) {
    if (!ready()) return;
    timer->SetEnabled(false);
    action();
  };
  timer->SetEnabled(true);
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    if (!e.is_directory()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool SameBytes(const std::string& a, const std::string& b) {
  return testsupport::Run({"cmp", "-s", a, b}).exitCode == 0;
}

std::string TodayInNames() {
  std::string today = testsupport::Run({"date", "+%-m-%-d-%Y"}).out;
  while (!today.empty() && today.back() == '\n') today.pop_back();
  return today;
}
