// Test entry point: every test runs with HOME, the XDG folders and the registry
// stand-in's folder pointing into a sandbox of its own, so no test sees the
// user's settings or another test's files.
#include "TestSupport.h"

#include "platform/gui/ModalResponder.h"
#include "platform/shell/ShellExplorer.h"

#include <cstdlib>
#include <filesystem>

namespace testsupport {
std::string& CurrentSandbox();
}

namespace {

class SandboxListener : public testing::EmptyTestEventListener {
 public:
  explicit SandboxListener(std::filesystem::path root) : root_(std::move(root)) {}

  void OnTestStart(const testing::TestInfo& info) override {
    std::string name = std::string(info.test_suite_name()) + "." + info.name();
    for (char& c : name)
      if (c == '/') c = '_';
    std::filesystem::path dir = root_ / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "home");
    for (const char* sub : {"config", "data", "cache", "runtime", "registry", "tmp"})
      std::filesystem::create_directories(dir / sub);
    std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
    setenv("KIVO2_REGISTRY_DIR", (dir / "registry").c_str(), 1);
    setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    testsupport::CurrentSandbox() = dir.string();
    // Each test starts with an empty script of modal answers.
    ModalResponder::Reset();
  }

  void OnTestEnd(const testing::TestInfo& info) override {
    // Keep the sandbox of a failed test for inspection. A program the test started may
    // still be removing its own files (a daemon its socket): an entry that vanishes under
    // the removal fails one pass, and the next pass finds the rest.
    if (!info.result() || info.result()->Failed()) return;
    std::error_code ec;
    for (int pass = 0; pass < 5; ++pass) {
      std::filesystem::remove_all(testsupport::CurrentSandbox(), ec);
      if (!ec) return;
    }
    ADD_FAILURE() << "the sandbox " << testsupport::CurrentSandbox() << " could not be removed: " << ec.message();
  }

 private:
  std::filesystem::path root_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("KIVO2_UNDER_TEST", "1", 1);
  // The program's own glyphs lie in the program folder, not beside the test programs.
  SetGlyphFolder(testsupport::ProgramDir() + "/glyphs/");
  // A modal call that the test did not script fails the test instead of blocking.
  ModalResponder::SetFailureHook([](const std::string& message) { ADD_FAILURE() << message; });
  const char* base = getenv("TMPDIR");
  std::filesystem::path root = std::filesystem::path(base && *base ? base : "/tmp") /
                               ("kivo2-tests-" + std::to_string(getpid()));
  std::filesystem::create_directories(root);
  // ImageMagick's tools take pictures as wide and high as their formats go: the system's
  // policy stops them at 16,384 pixels a side.
  testsupport::WriteFile((root / "policy.xml").string(),
                         "<policymap>\n  <policy domain=\"resource\" name=\"width\" value=\"64KP\"/>\n"
                         "  <policy domain=\"resource\" name=\"height\" value=\"64KP\"/>\n</policymap>\n");
  setenv("MAGICK_CONFIGURE_PATH", root.c_str(), 1);
  testing::UnitTest::GetInstance()->listeners().Append(new SandboxListener(root));
  int rc = RUN_ALL_TESTS();
  std::error_code ec;
  if (rc == 0) std::filesystem::remove_all(root, ec);
  return rc;
}
