#pragma once
// The main window started on a folder of pictures made with ImageMagick, for the tests of
// the thumbnail panel, the slide show, zoom, the keys and the view commands.
#include <filesystem>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "controls/EventScrollbox.h"
#include "core/Unit1.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

class ViewerTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    folder_ = testsupport::TempPath("photos") + "/";
    std::filesystem::create_directories(folder_);
  }

  // A picture made by ImageMagick: convert <args...> <folder_ + name>.
  void Make(const std::string& name, const std::vector<std::string>& args) {
    std::vector<std::string> argv{"convert"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(folder_ + name);
    auto r = testsupport::Run(argv);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  void MakeColor(const std::string& name, int width, int height, const std::string& color) {
    Make(name, {"-size", std::to_string(width) + "x" + std::to_string(height), "xc:" + color});
  }

  // Starts the program on folder (the photo folder by default) with extra registry lines.
  void StartIn(const std::string& folder = std::string(), const std::vector<std::string>& values = {}) {
    std::vector<std::string> lines{"\"LastPath\"=\"" + (folder.empty() ? folder_ : folder) + "\""};
    lines.insert(lines.end(), values.begin(), values.end());
    Start(lines);
    // Every disk counts as a fixed disk here: the sandbox may lie on any file system.
    Form1->M_CacheonlyFixedDiskfiles->SetChecked(false);
  }

  // The picture area as a fixed box.
  void SetArea(int width, int height) {
    Form1->ScrollBox1->SetAlign(alNone);
    Form1->ScrollBox1->SetBounds(0, 0, width, height);
  }

  std::vector<std::string> Entries() const { return Form1->ListBox1->Items()->ToVector(); }

  // Another program adds a line to a list file as one locked step (flock(1) on the file's
  // folder): it copies the file, takes half a second, and puts the copy with the line in
  // its place. Returns once it holds the lock and has read; WaitOtherProgram waits for its end.
  void OtherProgramAdds(const std::string& file, const std::string& line) {
    const std::string step = "cp \"$1\" \"$1.o\"; touch \"$2\"; sleep 0.5; printf '%s\\r\\n' \"$3\" >>\"$1.o\"; "
                             "mv \"$1.o\" \"$1\"; touch \"$2.done\"";
    other_ = testsupport::TempPath("other" + std::to_string(++others_));
    testsupport::Run({"sh", "-c", "flock \"${1%/*}\" sh -c \"$0\" sh \"$@\" </dev/null >/dev/null 2>&1 &", step, file,
                      other_, line});
    AwaitFile(other_);
  }
  void WaitOtherProgram() const { AwaitFile(other_ + ".done"); }
  static void AwaitFile(const std::string& path) {
    for (int i = 0; i < 5000 && !std::filesystem::exists(path); ++i) usleep(2000);
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
  }
  std::string other_;
  int others_ = 0;

  std::string folder_;
};
