#include "MainWindowFixture.h"

#include <cstdio>
#include <filesystem>
#include <regex>

#include "Kivo2Version.h"

#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "core/Unit1.h"
#include "formats/GraphicFormats.h"
#include "platform/gui/GuiTesting.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

namespace fs = std::filesystem;

std::string Dword(uint32_t value) {
  char buf[32];
  snprintf(buf, sizeof buf, "dword:%08x", value);
  return buf;
}

int32_t ThisBuild() {
  return int32_t(KIVO2_VERSION_MAJOR) * 1000000 + KIVO2_VERSION_MINOR * 10000 + KIVO2_VERSION_PATCH * 100 +
         KIVO2_VERSION_TWEAK;
}

std::vector<std::pair<std::string, std::string>> RegistryEntries(const std::string& file, const std::string& key) {
  std::vector<std::pair<std::string, std::string>> entries;
  const std::regex line("^\"((?:[^\"\\\\]|\\\\.)*)\"=(.*)$");
  bool inKey = false;
  for (std::string l : testsupport::Lines(testsupport::ReadFile(file))) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (!l.empty() && l[0] == '[') inKey = l == key;
    std::smatch m;
    if (inKey && std::regex_match(l, m, line)) entries.emplace_back(m[1], m[2]);
  }
  return entries;
}

std::map<std::string, std::string> RegistryValues(const std::string& file, const std::string& key) {
  std::map<std::string, std::string> values;
  for (auto& [name, value] : RegistryEntries(file, key)) values[name] = value;
  return values;
}

std::map<std::string, std::string> UserRegistryValues(const std::string& file) {
  return RegistryValues(file, "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]");
}

void MainWindowTest::SetUp() {
  // The tests' pictures are made by ImageMagick.
  KIVO2_REQUIRE_TOOL("convert");
  ModalResponder::Reset();
  ModalResponder::SetFailureHook([](const std::string& message) { ADD_FAILURE() << message; });
  InitTranslation(testsupport::ProgramDir() + "/locale");
  UseLanguage("en");
  InitializeGraphicFormats();
  programDir_ = testsupport::TempPath("program") + "/";
  fs::create_directories(programDir_);
  SetArguments({});
  Application->Initialize();
}

void MainWindowTest::TearDown() {
  DoneApplication();
  SetArguments({});
  FinalizeGraphicFormats();
  UseLanguage("en");
  FinalizeProgramGlobals();
}

void MainWindowTest::CreateWindows() {
  InitProgramLanguageFor(programDir_);
  CreateProgramForms();
  Form1->FProgramDir = programDir_;
}

void MainWindowTest::ShowMainWindow() {
  Form1->Show();
  Application->ProcessMessages();
  // The first showing ends once the window system has painted the window; on a loaded
  // machine that takes a while.
  EXPECT_TRUE(GuiTesting::WaitUntil([] { return !Form1->FirstShowPending(); }, 30000));
  Application->ProcessMessages();
}

void MainWindowTest::SetArguments(const std::vector<std::string>& args) {
  static std::vector<std::string> storage;
  static std::vector<char*> argv;
  storage = {programDir_ + "kivo2"};
  storage.insert(storage.end(), args.begin(), args.end());
  argv.clear();
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  SetCommandLine(int(storage.size()), argv.data());
}

void MainWindowTest::MakePicture(const std::string& file, int width, int height, const std::string& color) {
  auto result = testsupport::Run(
      {"convert", "-size", std::to_string(width) + "x" + std::to_string(height), "xc:" + color, file});
  ASSERT_EQ(result.exitCode, 0) << result.err;
}

std::string MainWindowTest::RegistryFile() const {
  return GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg";
}

void MainWindowTest::WriteRegistry(const std::vector<std::string>& valueLines) {
  std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n";
  for (const std::string& line : valueLines) text += line + "\r\n";
  testsupport::WriteFile(RegistryFile(), text + "\r\n");
}

void MainWindowTest::Start(const std::vector<std::string>& values) {
  std::vector<std::string> lines{"\"Version\"=" + Dword(uint32_t(ThisBuild()))};
  lines.insert(lines.end(), values.begin(), values.end());
  WriteRegistry(lines);
  CreateWindows();
  ShowMainWindow();
}

std::string MainWindowTest::LastMessage() {
  const auto history = ModalResponder::History();
  return history.empty() ? std::string() : history.back().text;
}

void MainWindowTest::ExpectMessage(const std::string& text, int answer, ModalKind kind) {
  ModalResponder::Expect(kind, [text, answer](ModalRequest& request) {
    EXPECT_EQ(request.text, text);
    return answer;
  });
}
