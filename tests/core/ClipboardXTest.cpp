// The picture on the desktop's clipboard, as other programs see it: under an X server
// (Xvfb) the program copies the shown picture and xclip reads it back as PNG with the
// same pixels; a PNG that xclip puts on the clipboard is pasted with the same pixels.
// ImageMagick compares the pixels. The X side runs in a child run of this test program
// on the X platform (the other tests use the offscreen one); it skips without xclip or
// an X server.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <climits>

#include "ViewerFixture.h"
#include "platform/graphics/Graphics.h"
#include "controls/QzFileExplorer28.h"
#include "platform/gui/Clipbrd.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char* const kChildFolder = "KIVO2_CLIPBOARD_CHILD";

// ImageMagick finds no pixel that differs.
void ExpectSamePixels(const std::string& a, const std::string& b) {
  auto r = testsupport::Run({"compare", "-metric", "AE", a, b, "null:"});
  EXPECT_EQ(r.exitCode, 0) << a << " / " << b << ": " << r.out << r.err;
}

// Documents and their MIME types.
const std::pair<const char*, const char*> kDocuments[] = {
    {"letter.RTF", "application/rtf"}, {"drawing.wmf", "image/wmf"}, {"report.doc", "application/msword"}};

std::string Slug(std::string type) {
  std::replace(type.begin(), type.end(), '/', '-');
  return type;
}

std::string Sides(const std::string& file) {
  return testsupport::Run({"identify", "-format", "%wx%h", file}).out;
}

}  // namespace

// The parent: runs the child under Xvfb and checks what it left.
TEST(ClipboardXTest, PicturesGoBothWaysThroughTheDesktopClipboard) {
  if (getenv(kChildFolder)) GTEST_SKIP() << "the child run";
  KIVO2_REQUIRE_TOOL("xclip");
  KIVO2_REQUIRE_TOOL("compare");
  const bool ownServer = !testsupport::ToolPath("xvfb-run").empty();
  if (!ownServer && !getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  const std::string folder = testsupport::TempPath("clip");
  fs::create_directories(folder);
  char self[PATH_MAX] = {0};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  std::vector<std::string> argv;
  // A hung X side ends the child instead of the test; the X server's and the child's
  // temporary folders stay in this test's own folder.
  argv = {"env", "TMPDIR=" + folder, "timeout", "120"};
  if (ownServer) argv.insert(argv.end(), {"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"});
  argv.insert(argv.end(), {"env", "QT_QPA_PLATFORM=xcb", std::string(kChildFolder) + "=" + folder, self,
                           "--gtest_filter=ClipboardXChild.*"});
  const auto r = testsupport::Run(argv);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  ASSERT_EQ(r.out.find("[  SKIPPED ]"), std::string::npos) << r.out;
  // What xclip read is the picture, pixel for pixel.
  EXPECT_EQ(Sides(folder + "/copied.png"), "37x23");
  ExpectSamePixels(folder + "/source.png", folder + "/copied.png");
  // What the program pasted is xclip's picture.
  EXPECT_EQ(Sides(folder + "/pasted.bmp"), "29x17");
  ExpectSamePixels(folder + "/offered.png", folder + "/pasted.bmp");
  // A document sent to the clipboard "as contents" is offered under its MIME type, byte for byte.
  for (auto [name, type] : kDocuments)
    EXPECT_EQ(testsupport::Run({"cmp", folder + "/sent " + Slug(type), folder + "/read " + Slug(type)}).exitCode, 0) << name;
}

class ClipboardXChild : public ViewerTest {
 protected:
  // Runs argv with its output into a file while the program answers the X server.
  int RunServing(const std::vector<std::string>& argv, const std::string& outFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
      }
      Application->ProcessMessages();
      usleep(2000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(ClipboardXChild, CopyAndPaste) {
  const char* out = getenv(kChildFolder);
  if (!out) GTEST_SKIP() << "runs as the child of ClipboardXTest";
  const std::string folder = std::string(out) + "/";
  Make("s.png", {"-size", "37x23", "plasma:red-green", "-alpha", "off", "-depth", "8"});
  fs::copy_file(folder_ + "s.png", folder + "source.png");
  StartIn();
  Form1->OpenThePicture(folder_ + "s.png");
  Form1->Imagetoclipboard1->Click();
  ASSERT_EQ(RunServing({"xclip", "-selection", "clipboard", "-t", "image/png", "-o"}, folder + "copied.png"), 0);

  // Another program's picture comes in.
  auto r = testsupport::Run({"convert", "-size", "29x17", "plasma:blue-yellow", "-alpha", "off", "-depth", "8", folder + "offered.png"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // xclip stays behind to serve its selection: its output is no pipe that would wait for it.
  ASSERT_EQ(RunServing({"xclip", "-selection", "clipboard", "-t", "image/png", "-i", folder + "offered.png"},
                       "/dev/null"),
            0);
  // xclip takes the clipboard in its background part: the program hears of it a moment later.
  TBitmap pasted;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  do {
    Application->ProcessMessages();
    usleep(2000);
    ASSERT_TRUE(Clipboard()->GetBitmap(pasted));
  } while (pasted.Width() != 29 && std::chrono::steady_clock::now() < end);
  pasted.SetPixelFormat(pf24bit);
  pasted.SaveToFile(folder + "pasted.bmp");
}

TEST_F(ClipboardXChild, DocumentsAsTheirTypes) {
  const char* out = getenv(kChildFolder);
  if (!out) GTEST_SKIP() << "runs as the child of ClipboardXTest";
  TForm form(nullptr);
  auto* list = new TQzFilelistView28(&form);
  list->SetParent(&form);
  for (auto [name, type] : kDocuments) {
    testsupport::WriteFile(folder_ + name, std::string("{\\rtf1 ") + name + std::string(300, '\xC3') + "}");
    std::filesystem::copy_file(folder_ + name, std::string(out) + "/sent " + Slug(type));
    list->SetDirectory(folder_);
    list->UpdateFileList();
    for (int i = 0; i < list->Items()->Count(); ++i)
      list->Items()->Item(i)->SetSelected(list->Items()->Item(i)->Caption() == name);
    list->SendToSpecial(1);
    ASSERT_EQ(RunServing({"xclip", "-selection", "clipboard", "-t", type, "-o"}, std::string(out) + "/read " + Slug(type)), 0);
  }
}
