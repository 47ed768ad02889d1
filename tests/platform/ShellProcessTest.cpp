// Running programs: command lines split as /bin/sh splits them, waiting with a time-out
// without spinning, terminating, exit codes; detached starts and opening documents.
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "ShellTestUtil.h"
#include "platform/shell/Shell.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::ReadFile;
using testsupport::TempPath;
using testsupport::WriteFile;

// The words /bin/sh makes of a command line (one per output line).
std::vector<std::string> ShellWords(const std::string& line) {
  testsupport::CommandResult r = testsupport::Run({"/bin/sh", "-c", "printf '%s\\n' X " + line});
  std::vector<std::string> words = testsupport::Lines(r.out);
  if (!words.empty()) words.erase(words.begin());  // the marker X
  return words;
}

double ProcessCpuSeconds() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

bool ProcessAlive(pid_t pid) {
  // A zombie counts as ended.
  std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  return !stat.empty() && close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

pid_t WaitForPidFile(const std::string& file) {
  for (int i = 0; i < 500; ++i) {
    std::string text;
    if (std::filesystem::exists(file)) text = ReadFile(file);
    if (!text.empty() && text.back() == '\n') return pid_t(std::atoi(text.c_str()));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

// PATH with a folder of our own first; restored by the destructor.
class PathPrefix {
 public:
  explicit PathPrefix(const std::string& dir) : old_(getenv("PATH") ? getenv("PATH") : "") {
    setenv("PATH", (dir + ":" + old_).c_str(), 1);
  }
  ~PathPrefix() { setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

void WriteScript(const std::string& path, const std::string& body) {
  WriteFile(path, "#!/bin/sh\n" + body);
  ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
}

TEST(ShellCommandLine, SplitsLikeTheShell) {
  const std::string lines[] = {
      "jpegtran -copy all -rotate 90 -outfile out.jpg in.jpg",
      "  leading   and\ttrailing  blanks  ",
      "'/home/u/Foto'\"'\"'s/a b.jpg' \"double \\\" quote\" back\\ slash",
      "\"keep \\n and \\\\ and \\$HOME\" 'single \\ stays'",
      "empty '' \"\" words",
      "joined'single'\"double\"plain",
      "ünïcödé 'Ærø strand.jpg'",
      "a\\\nb",
  };
  for (const std::string& line : lines) {
    bool ok = false;
    EXPECT_EQ(SplitCommandLine(line, &ok), ShellWords(line)) << line;
    EXPECT_TRUE(ok) << line;
  }
  bool ok = true;
  SplitCommandLine("open 'quote", &ok);
  EXPECT_FALSE(ok);
  SplitCommandLine("open \"quote", &ok);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(ShellCommandLine, QuotedWordsComeBackUnchanged) {
  const std::string words[] = {"plain", "", "with blank", "it's", "'''", "\"q\"", "$HOME", "a\\b", "-rf", "*.jpg",
                               "ü é", "tab\there", "semi;colon|pipe&amp"};
  for (const std::string& w : words) {
    std::string quoted = QuoteCommandArgument(w);
    EXPECT_EQ(SplitCommandLine(quoted), std::vector<std::string>{w}) << quoted;
    EXPECT_EQ(ShellWords(quoted), std::vector<std::string>{w}) << quoted;
  }
}

TEST(ShellRunAndWait, ExitCodesAndStartFailures) {
  TProcessResult r = RunProcessAndWait({"sh", "-c", "exit 7"}, 0, false);
  EXPECT_EQ(r.Outcome, TWaitOutcome::Finished);
  EXPECT_EQ(r.ExitCode, 7);

  r = RunProcessAndWait({"sh", "-c", "kill -TERM $$"}, 5, false);
  EXPECT_EQ(r.Outcome, TWaitOutcome::Finished);
  EXPECT_EQ(r.ExitCode, 128 + SIGTERM);

  // The program gets an empty input, so one that reads does not wait for us.
  r = RunProcessAndWait({"sh", "-c", "read x; exit 3"}, 5, true);
  EXPECT_EQ(r.Outcome, TWaitOutcome::Finished);
  EXPECT_EQ(r.ExitCode, 3);

  r = RunProcessAndWait({"no-such-program-kivo2"}, 0, false);
  EXPECT_EQ(r.Outcome, TWaitOutcome::StartFailed);
  EXPECT_EQ(r.Error, ENOENT);
  r = RunProcessAndWait({}, 0, false);
  EXPECT_EQ(r.Outcome, TWaitOutcome::StartFailed);
}

TEST(ShellRunAndWait, OutputIsCapturedWholeUpToItsBound) {
  std::string out;
  EXPECT_TRUE(RunProcessOutput({"printf", "%s\\n", "a b", "'c'"}, 5, out));
  EXPECT_EQ(out, "a b\n'c'\n");
  // A program that writes more than the pipe holds is not blocked; the text stops at 1 MiB.
  EXPECT_TRUE(RunProcessOutput({"head", "-c", "3000000", "/dev/zero"}, 10, out));
  EXPECT_EQ(out.size(), size_t(1) << 20);
  EXPECT_FALSE(RunProcessOutput({"sh", "-c", "echo partial; exit 1"}, 5, out));
  EXPECT_EQ(out, "partial\n");
  EXPECT_FALSE(RunProcessOutput({"no-such-program-kivo2"}, 5, out));
  EXPECT_EQ(out, "");
}

TEST(ShellRunAndWait, TimeOutZeroWaitsAndPumpsWithoutSpinning) {
  int pumps = 0;
  double cpuBefore = ProcessCpuSeconds();
  Clock::time_point start = Clock::now();
  TProcessResult r = RunProcessAndWait({"sleep", "1.5"}, 0, true, [&] { ++pumps; });
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  double cpu = ProcessCpuSeconds() - cpuBefore;
  EXPECT_EQ(r.Outcome, TWaitOutcome::Finished);
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_GE(seconds, 1.4);
  // The GUI is served about every 20 ms, and the wait itself costs next to no processor time.
  EXPECT_GE(pumps, 30);
  EXPECT_LE(pumps, 200);
  EXPECT_LT(cpu, 0.3);
}

TEST(ShellRunAndWait, ShortTimeOutGivesUpAndTerminatesTheGroup) {
  std::string pidFile = TempPath("child.pid");
  Clock::time_point start = Clock::now();
  // A shell with a child of its own: terminating must stop both.
  TProcessResult r =
      RunProcessAndWait({"sh", "-c", "sleep 30 & echo $! > '" + pidFile + "'; wait"}, 1, true, [] {});
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_EQ(r.Outcome, TWaitOutcome::TimedOut);
  EXPECT_TRUE(r.Terminated);
  // Gives up once more than one whole second has passed.
  EXPECT_GE(seconds, 1.9);
  EXPECT_LT(seconds, 4.0);
  pid_t grandchild = WaitForPidFile(pidFile);
  ASSERT_GT(grandchild, 0);
  for (int i = 0; i < 100 && ProcessAlive(grandchild); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(ProcessAlive(grandchild));
}

TEST(ShellRunAndWait, TimeOutWithoutTerminateLeavesTheProgramRunning) {
  std::string pidFile = TempPath("self.pid");
  TProcessResult r = RunProcessAndWait({"sh", "-c", "echo $$ > '" + pidFile + "'; exec sleep 5"}, 1, false);
  EXPECT_EQ(r.Outcome, TWaitOutcome::TimedOut);
  EXPECT_FALSE(r.Terminated);
  pid_t pid = WaitForPidFile(pidFile);
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(ProcessAlive(pid));
  ::kill(pid, SIGKILL);
  // Collected by the runner once it ends: no zombie stays behind.
  for (int i = 0; i < 200 && std::filesystem::exists("/proc/" + std::to_string(pid)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(pid)));
}

TEST(ShellLaunch, StartDetachedRunsInItsOwnSession) {
  std::string out = TempPath("detached.txt");
  std::string dir = TempPath("work dir");
  std::filesystem::create_directories(dir);
  std::string script = TempPath("report.sh");
  WriteScript(script, "pwd > \"$1.tmp\"; cut -d' ' -f6 /proc/$$/stat >> \"$1.tmp\"; printf '%s\\n' \"$2\" >> \"$1.tmp\"; mv \"$1.tmp\" \"$1\"\n");
  ASSERT_TRUE(StartDetached({script, out, "two words"}, dir));
  for (int i = 0; i < 500 && !std::filesystem::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::string text = ReadFile(out);
  std::string ownSession = std::to_string(getsid(0));
  EXPECT_EQ(text.substr(0, text.find('\n')), std::filesystem::canonical(dir).string());
  EXPECT_EQ(text.find("\n" + ownSession + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\ntwo words\n"), std::string::npos) << text;

  EXPECT_FALSE(StartDetached({"no-such-program-kivo2"}));
  EXPECT_FALSE(StartDetached({script, out}, TempPath("missing dir")));
  EXPECT_FALSE(StartDetached({}));
}

// A file goes as a full path to the program of the type the desktop gives its content
// (xdg-mime), never run itself nor handed on when it is a program; URLs go to xdg-open.
TEST(ShellLaunch, OpenDocumentHandsFilesToTheirTypesProgramAndUrlsToXdgOpen) {
  KIVO2_REQUIRE_TOOL("xdg-mime");
  std::string bin = TempPath("bin");
  std::filesystem::create_directories(bin);
  std::string log = TempPath("xdg-open.log");
  const std::string logArguments = "printf '%s\\n' \"$@\" > '" + log + ".tmp'; mv '" + log + ".tmp' '" + log + "'\n";
  WriteScript(bin + "/xdg-open", logArguments);
  WriteScript(bin + "/kvview", logArguments);
  const std::string data = getenv("XDG_DATA_HOME");
  std::filesystem::create_directories(data + "/applications");
  WriteFile(data + "/applications/kvview.desktop", "[Desktop Entry]\nExec=kvview --view\n");
  WriteFile(std::string(getenv("XDG_CONFIG_HOME")) + "/mimeapps.list",
            "[Default Applications]\ntext/plain=kvview.desktop\ntext/x-shellscript=kvview.desktop\n");
  PathPrefix prefix(bin);

  std::string dir = TempPath("docs");
  std::filesystem::create_directories(dir);
  WriteFile(dir + "/-rf.jpg", "plain words\n");
  WriteScript(dir + "/IMG_0002.JPG", "touch '" + dir + "/ran'\n");
  std::string oldDir = std::filesystem::current_path().string();
  std::filesystem::current_path(dir);
  bool opened = OpenDocument("-rf.jpg");
  bool missing = OpenDocument("missing.jpg");
  const TOpenOutcome script = OpenDocumentOutcome("IMG_0002.JPG");
  std::filesystem::current_path(oldDir);
  ASSERT_TRUE(opened);
  EXPECT_FALSE(missing);
  EXPECT_EQ(script, TOpenOutcome::NoProgram);
  for (int i = 0; i < 500 && !std::filesystem::exists(log); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ReadFile(log), "--view\n" + std::filesystem::canonical(dir).string() + "/-rf.jpg\n");
  EXPECT_FALSE(std::filesystem::exists(dir + "/ran"));
  // What runs code is known by the database's aliases and parent types too.
  for (const auto& [type, runnable] : std::vector<std::pair<std::string, bool>>{
           {"application/x-pie-executable", true}, {"text/x-sh", true}, {"text/x-python3", true},
           {"text/x-script.python", true}, {"image/jpeg", false}, {"application/postscript", false}})
    EXPECT_EQ(IsRunnableMimeType(type), runnable) << type;
  // The Exec line's quoting, escapes and field codes.
  WriteFile(dir + "/e.desktop", "[Desktop Entry]\nName=View\nIcon=v\nTerminal=true\n"
                                "Exec=\"/opt/my app\" %i %c --url=%u \"a\\\\$b\"\\s100%% %d\n");
  EXPECT_EQ(DesktopEntryCommand(dir + "/e.desktop", "/p/f.jpg"),
            (std::vector<std::string>{"x-terminal-emulator", "-e", "/opt/my app", "--icon", "v", "View",
                                      "--url=/p/f.jpg", "a$b", "100%"}));
  std::filesystem::remove(log);
  ASSERT_TRUE(OpenDocument("https://example.org/a b"));
  for (int i = 0; i < 500 && !std::filesystem::exists(log); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ReadFile(log), "https://example.org/a b\n");

  // xdg-open's answer is waited for, and each failure it reports is told apart.
  const std::pair<int, TOpenOutcome> answers[] = {
      {2, TOpenOutcome::Missing}, {3, TOpenOutcome::NoProgram}, {4, TOpenOutcome::Failed}, {0, TOpenOutcome::Opened}};
  for (const auto& [status, outcome] : answers) {
    SCOPED_TRACE(status);
    WriteScript(bin + "/xdg-open", "sleep 0.3; exit " + std::to_string(status) + "\n");
    EXPECT_EQ(OpenDocumentOutcome("https://example.org/"), outcome);
  }
  std::string reason;
  EXPECT_FALSE(OpenDocument(dir + "/missing.jpg", &reason));
  EXPECT_EQ(reason, "The file does not exist.");
  std::filesystem::remove(bin + "/xdg-open");
  setenv("PATH", bin.c_str(), 1);
  EXPECT_EQ(OpenDocumentOutcome("https://example.org/"), TOpenOutcome::NoOpener);
}

}  // namespace
