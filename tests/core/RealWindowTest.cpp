// The program as a user meets it under a real window manager: build/Kivo2/kivo2 on its
// own X server (Xvfb) with openbox, driven by keys and clicks (xdotool) and read back
// from the window manager (xprop, xwininfo) and from screenshots (ImageMagick). Each case
// starts the program once or twice and walks several steps, as such runs cost seconds.
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "MainWindowFixture.h"
#include "RealWindow.h"
#include "RealWindowCase.h"
#include "core/Diversen.h"
#include "platform/rtl/SysUtils.h"

namespace fs = std::filesystem;
using testsupport::RealWindow;
using testsupport::XRect;

namespace {

using namespace realwindow;

class RealWindowTest : public RealWindowCase {
 protected:
  // A press of the left button at (x, y) of the window (the key held), six moves of
  // (dx, dy) and the release: true when the window went along.
  bool Drags(unsigned long w, int x, int y, int dx, int dy, const std::string& held = "") {
    const XRect g = x_.Geometry(w);
    x_.MoveMouse(g.x + x, g.y + y);
    if (!held.empty()) x_.Tool({"xdotool", "keydown", held});
    x_.Tool({"xdotool", "mousedown", "1", "sleep", "0.3"});
    for (int step = 1; step <= 6; ++step) x_.MoveMouse(g.x + x + step * dx, g.y + y + step * dy);
    x_.Tool({"xdotool", "mouseup", "1"});
    if (!held.empty()) x_.Tool({"xdotool", "keyup", held});
    return RealWindow::WaitUntil([&] {
      const XRect m = x_.Geometry(w);
      return abs(m.x - g.x - 6 * dx) < 20 && abs(m.y - g.y - 6 * dy) < 20;
    }, 3000);
  }
  // Waits for a window that none of known is to take the keyboard (a question, a message),
  // gives it the keys and waits until it is gone; false when none came or it stayed.
  bool Answer(const std::vector<unsigned long>& known, const std::string& keys = "Return") {
    const unsigned long w = NewWindow(known);
    return w && RealWindow::WaitUntil([&] { return x_.ActiveWindow() == w; }) &&
           (x_.Key(keys), RealWindow::WaitUntil([&] { return !x_.Viewable(w); }));
  }
};

std::string Stored(const std::string& name) { return UserRegistryValues(RealWindow::RegistryFile())[name]; }

}  // namespace

// Full screen (F9), and the slide show (F8) that runs in it, are left by F9 or Esc: the
// window comes back exactly as it was - maximised and framed, or normal at its place and
// size, with the browser panel or without - and a close stores that state, not another one.
// A window started maximised goes back to the normal place and size stored when restored.
// A folder tree made 700 pixels high in the maximised window leaves the file list below it
// room to be clicked 100 pixels above the window's bottom edge in the restored window and
// in a start at 800 x 600, and is stored 700 high still.
TEST_F(RealWindowTest, LeavingFullScreenGivesBackTheWindowAsItWas) {
  const std::string album = testsupport::TempPath("album"), picture = Pictures(album, 2);
  // Every entry after the first shows the second picture's colour.
  for (int i = 10; i < 40; ++i) fs::copy_file(album + "/p1.jpg", album + "/q" + std::to_string(i) + ".jpg");
  auto listTakesClick = [&](unsigned long main) {
    const XRect g = x_.Geometry(main), shown{g.x + 165 + (g.width - 185) / 2, g.y + g.height / 2 - 20, 40, 40};
    Steady(g);
    x_.Click(g.x + 40, g.bottom() - 100);
    return RealWindow::WaitUntil([&] { return ShareNow(shown, Colour(1)) > 0.9; }, 5000);
  };
  const std::vector<std::string> normal = {"\"WinStatusMain\"=dword:00000001", "\"WinStatusLeft\"=dword:00000064",
                                           "\"WinStatusTop\"=dword:00000050", "\"WinStatusWidth\"=dword:00000384",
                                           "\"WinStatusHeight\"=dword:00000258", "\"Browser\"=dword:00000000"};
  const std::vector<std::string> maximised = {"\"WinStatusMain\"=dword:00000003", normal[1], normal[2], normal[3],
                                              normal[4], "\"NavigatorHeight\"=dword:000002bc"};
  for (const auto& [values, stored] : {std::pair{maximised, "dword:00000003"}, std::pair{normal, "dword:00000001"}}) {
    SCOPED_TRACE(stored);
    ASSERT_TRUE(x_.Start({.arguments = {picture}, .registryValues = values})) << x_.Error();
    const unsigned long main = x_.MainWindow();
    const XRect before = x_.Geometry(main);
    const auto stateBefore = x_.State(main);
    const int titleBefore = x_.Frame(main).top;
    ASSERT_GT(titleBefore, 0) << x_.Describe();
    // Where the browser panel shows the tree's names.
    const bool browser = values != normal;
    const XRect tree{before.x + 5, before.y + 90, 140, 150};
    for (const auto& [enter, leave] : {std::pair{"F9", "F9"}, {"F9", "Escape"}, {"F8", "Escape"}}) {
      SCOPED_TRACE(std::string(enter) + " then " + leave);
      ASSERT_TRUE(x_.Activate(main));
      x_.Key(enter);
      EXPECT_TRUE(RealWindow::WaitUntil([&] {
        return x_.HasState(main, "_NET_WM_STATE_FULLSCREEN") && Text(x_.Geometry(main)) == Text(screen_);
      })) << x_.Describe();
      x_.Key(leave);
      EXPECT_TRUE(RealWindow::WaitUntil([&] {
        return x_.State(main) == stateBefore && Text(x_.Geometry(main)) == Text(before) &&
               x_.Frame(main).top == titleBefore;
      })) << "before: " << Text(before) << "\n" << x_.Describe();
      EXPECT_TRUE(RealWindow::WaitUntil([&] { return (ShareNow(tree) > 0) == browser; })) << x_.Describe();
    }
    for (const std::string change : {"remove", "add"}) {
      if (values != maximised) break;
      x_.Tool({"wmctrl", "-i", "-r", std::to_string(main), "-b", change + ",maximized_vert,maximized_horz"});
      EXPECT_TRUE(RealWindow::WaitUntil([&] {
        const XRect outer = Outer(x_, main);
        return change == "add" ? Text(x_.Geometry(main)) == Text(before) : outer.x == 100 && outer.y == 80 &&
                                 Text(x_.Geometry(main)).rfind("900x600+", 0) == 0;
      })) << change << "\n" << x_.Describe();
      EXPECT_TRUE(change == "add" || listTakesClick(main)) << "restored";
    }
    EXPECT_EQ(x_.Close(), 0) << x_.Log();
    EXPECT_EQ(Stored("WinStatusMain"), stored);
    EXPECT_EQ(Stored("Browser"), browser ? "dword:00000001" : "dword:00000000");
    EXPECT_EQ(Stored("WinStatusLeft") + Stored("WinStatusWidth"), "dword:00000064dword:00000384");
    if (values != maximised) continue;
    // The tree's height as the maximised window stored it.
    const std::string height = "\"NavigatorHeight\"=" + Stored("NavigatorHeight");
    ASSERT_TRUE(x_.Start({.arguments = {picture},
                          .registryValues = {normal[0], normal[1], normal[2], "\"WinStatusWidth\"=dword:00000320",
                                             normal[4], height}})) << x_.Error();
    EXPECT_TRUE(listTakesClick(x_.MainWindow())) << "started at 800 x 600";
    EXPECT_EQ(x_.Close(), 0) << x_.Log();
    EXPECT_EQ(Stored("NavigatorHeight"), "dword:000002bc");
  }
}

// The floating button bar of full screen comes in front of the full-screen picture -
// shown on entering, by Ctrl+B and by the mouse at the screen's edge - goes where its grips
// are dragged and takes clicks: its "Normal" button leaves full screen.
TEST_F(RealWindowTest, TheFloatingBarStandsInFrontOfFullScreenAndTakesClicks) {
  ASSERT_TRUE(x_.Start({.arguments = {Pictures(testsupport::TempPath("album"), 2)}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  // The bar's pixels are on the screen: its light face, not the black of the picture area.
  auto barShows = [&](unsigned long bar) { return bar && x_.Above(bar, main) && ShareNow(x_.Geometry(bar)) < 0.3; };
  ASSERT_TRUE(x_.Activate(main));
  x_.Key("F9");
  unsigned long bar = x_.WaitForWindow("FormFloatB");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return barShows(bar); }, 5000)) << x_.Describe();
  x_.Key("ctrl+b");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("FormFloatB"); }, 5000)) << x_.Describe();
  x_.MoveMouse(300, 300);
  x_.MoveMouse(2, 300);
  bar = x_.WaitForWindow("FormFloatB");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return barShows(bar); }, 5000)) << x_.Describe();
  ASSERT_TRUE(bar);
  const XRect g = x_.Geometry(bar);
  EXPECT_EQ(g.x, 12) << "beside the pointer";
  EXPECT_TRUE(Drags(bar, 4, 14, 20, 20) && Drags(bar, g.width - 4, 14, -20, -20)) << "by its grips\n" << x_.Describe();
  // "Normal" is the button before the last one ("Hide", 38 pixels) and the grip.
  x_.Click(g.right() - 10 - 38 - 25, g.y + g.height / 2);
  EXPECT_TRUE(RealWindow::WaitUntil([&] {
    return !x_.HasState(main, "_NET_WM_STATE_FULLSCREEN") && !x_.FindWindow("FormFloatB");
  })) << x_.Describe();
}

// After a recursive slide show has walked into a sub-folder, the thumbnail panel that
// comes back shows that folder's pictures (blue), not the start folder's (red).
TEST_F(RealWindowTest, TheThumbnailPanelAfterARecursiveShowShowsTheListBesideIt) {
  const std::string album = testsupport::TempPath("album"), sub = album + "/sub";
  fs::create_directories(sub);
  for (const std::string& name : {album + "/a0.jpg", album + "/a1.jpg", sub + "/b0.jpg", sub + "/b1.jpg"})
    ASSERT_EQ(testsupport::Run({"convert", "-size", "320x240", name.find("/b") == std::string::npos ? "xc:rgb(230,0,0)"
                                                                                                    : "xc:rgb(0,0,230)",
                                name}).exitCode, 0);
  ASSERT_TRUE(x_.Start({.arguments = {album + "/a0.jpg"},
                        .registryValues = {"\"Thumbs\"=dword:00000001", "\"SlideDelay\"=dword:00000001"}}))
      << x_.Error();
  const unsigned long main = x_.MainWindow();
  ASSERT_TRUE(x_.Activate(main));
  x_.Key("F8");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Title(main).find("sub") != std::string::npos; }, 15000))
      << x_.Describe();
  x_.Key("Escape");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.HasState(main, "_NET_WM_STATE_FULLSCREEN"); }))
      << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(screen_, "rgb(230,0,0)", 12) == 0.0; }, 10000))
      << x_.Describe();
  EXPECT_GT(Share(shot_, screen_, "rgb(0,0,230)", 12), 0.01);
}

// A dialog opens in front of the window that asked for it, also when that window stays
// on top (the EXIF window's "Write to file", the print preview's "Setup" and the Save As
// of its Print without a printer); File > Open starts in the folder shown, so a bare name
// there opens that folder's picture in the copy window.
TEST_F(RealWindowTest, DialogsOpenInFrontOfTheWindowThatAsks) {
  const std::string album = testsupport::TempPath("album");
  ASSERT_TRUE(x_.Start({.arguments = {Pictures(album, 2)}, .environment = {"CUPS_SERVER=/nonexistent"}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  ASSERT_TRUE(x_.Activate(main));
  unsigned long open = OpensByKeys("ctrl+o");
  ASSERT_TRUE(open) << x_.Describe();
  EXPECT_TRUE(x_.Above(open, main)) << x_.Describe();
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.ActiveWindow() == open; })) << x_.Describe();
  // Its keys stay there: "zz" (no picture), Delete and Return neither trash the picture shown
  // nor ask anything, and Esc closes the dialog only.
  x_.Type("zz");
  x_.Key("Delete Return Escape");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows() == std::vector{main}; })) << x_.Describe();
  EXPECT_TRUE(fs::exists(album + "/p0.jpg") && fs::exists(album + "/p1.jpg"));
  ASSERT_TRUE(open = OpensByKeys("ctrl+o")) << x_.Describe();
  x_.Type("p1.jpg");
  // The first Return may only take the name the dialog's completion offers.
  x_.Key("Return");
  if (!x_.WaitForWindow("ImageCopyForm", 2000) && x_.Viewable(open)) x_.Key("Return");
  const unsigned long copy = x_.WaitForWindow("ImageCopyForm");
  ASSERT_TRUE(copy) << x_.Describe();
  EXPECT_EQ(x_.Title(copy).find(album + "/p1.jpg"), 0u) << x_.Describe();

  ASSERT_TRUE(x_.Activate(main));
  x_.Key("ctrl+i");
  const unsigned long exif = x_.WaitForWindow("ExifInfoForm");
  ASSERT_TRUE(exif) << x_.Describe();
  // "Write to file" lies 200 pixels from the left of the bar under the EXIF text.
  const XRect g = x_.Geometry(exif);
  const unsigned long save = Opens([&] { x_.Click(g.x + 240, g.bottom() - 50); });
  ASSERT_TRUE(save) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Above(save, exif) && x_.Above(save, copy); }, 3000))
      << x_.Describe();
  // A file of the name typed is there: the question comes up in front of the EXIF window,
  // and Yes (Return) replaces the file.
  const std::string text = album + "/exif.txt";
  testsupport::WriteFile(text, "old");
  x_.Key("ctrl+a");
  x_.Type(text);
  const unsigned long replace = OpensByKeys("Return");
  ASSERT_TRUE(replace) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Above(replace, exif); }, 3000)) << x_.Describe();
  char exifId[32];
  snprintf(exifId, sizeof exifId, "0x%lx", exif);
  EXPECT_NE(x_.Property(replace, "WM_TRANSIENT_FOR").find(exifId), std::string::npos) << x_.Describe();
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return testsupport::ReadFile(text) != "old"; }, 5000)) << x_.Describe();

  // File > "Print preview..." (third from the end), painted with the picture.
  ASSERT_TRUE(x_.Activate(main));
  ASSERT_TRUE(OpensByKeys("alt+f")) << x_.Describe();
  x_.Key("Up Up Up Return");
  const unsigned long preview = x_.WaitForWindow("PrintForm");
  ASSERT_TRUE(preview) << x_.Describe();
  const XRect p = x_.Geometry(preview);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(p, Colour(0)) > 0.01; })) << x_.Describe();
  const std::string before = testsupport::TempPath("preview.png");
  ASSERT_TRUE(x_.Screenshot(before));
  char id[32];
  snprintf(id, sizeof id, "0x%lx", preview);
  // The bar's "Setup" (172 pixels from the left), "Print" (88) and Yes, "Custom" (256), a too wide "10,5": one message.
  const size_t windows = x_.Windows().size();
  for (const int button : {172, 88, 256}) {
    SCOPED_TRACE(button);
    unsigned long dialog = Opens([&] {
      x_.Click(p.x + button + 40, p.y + 22);
      if (button == 256)
        x_.Tool({"xdotool", "sleep", "1", "mousemove", std::to_string(p.right() - 120), std::to_string(p.y + 345),
                 "click", "1", "key", "ctrl+a", "type", "10,5"}), x_.Key("Return");
    });
    auto takesKeys = [&] { return RealWindow::WaitUntil([&] { return dialog && x_.ActiveWindow() == dialog; }); };
    if (button == 88 && takesKeys()) dialog = OpensByKeys("Return");
    ASSERT_TRUE(takesKeys()) << x_.Describe();
    EXPECT_NE(x_.Property(dialog, "WM_TRANSIENT_FOR").find(id), std::string::npos) << id << "\n" << x_.Describe();
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Above(dialog, preview); }, 3000)) << x_.Describe();
    // Where it covers the preview below its bar, the dialog's pixels are on the screen.
    const XRect d = x_.Geometry(dialog);
    const int left = std::max(d.x, p.x), top = std::max(d.y, p.y + 50);
    const XRect covered{left, top, std::min(d.right(), p.right()) - left, std::min(d.bottom(), p.bottom() - 30) - top};
    ASSERT_TRUE(covered.width > 20 && covered.height > 20) << x_.Describe();
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && !Same(before, shot_, covered); }, 5000))
        << "the dialog is hidden by the preview";
    x_.Key("Escape");
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(dialog); }, 5000)) << x_.Describe();
  }
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() == windows; }, 3000)) << x_.Describe();
}

// File > Open at once after the start lies inside the work area over the main window and
// changes no file: Delete, F2 and the second entry of the list's menu on a picture of its
// list ask nothing, and the folder keeps its pictures. SIGTERM (a logout) while it shows
// ends the program within seconds, storing a setting of the session as a close does.
TEST_F(RealWindowTest, FileDialogsChangeNoFileAndEndWithTheProgram) {
  const std::string album = testsupport::TempPath("album");
  ASSERT_TRUE(x_.Start({.arguments = {Pictures(album, 3)}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  ASSERT_TRUE(x_.Activate(main));
  x_.Key("ctrl+a");  // "Show file name"
  const unsigned long open = OpensByKeys("ctrl+o");
  ASSERT_TRUE(open && RealWindow::WaitUntil([&] { return x_.ActiveWindow() == open; })) << x_.Describe();
  // Into the list (from the name box) onto p1.jpg.
  x_.Key("shift+Tab");
  x_.Type("p1");
  x_.Key("Delete F2");
  x_.Type("renamed");
  x_.Key("Tab shift+Tab");
  ASSERT_TRUE(OpensByKeys("Menu")) << x_.Describe();
  x_.Key("Down Down Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() == 2; })) << x_.Describe();
  EXPECT_FALSE(RealWindow::WaitUntil([&] { return x_.Windows().size() > 2; }, 1500)) << x_.Describe();
  EXPECT_EQ(testsupport::Run({"sh", "-c", "ls " + album + "/*.jpg | wc -l"}).out, "3\n");
  const XRect d = Outer(x_, open), m = x_.Geometry(main);
  EXPECT_TRUE(x_.WorkArea().contains(d) && m.contains({d.x + d.width / 2, d.y + d.height / 2, 0, 0})) << x_.Describe();
  ASSERT_GT(x_.Pid(), 0);
  kill(x_.Pid(), SIGTERM);
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.Running(); }, 5000)) << x_.Describe();
  EXPECT_EQ(Stored("ShowFilename"), "dword:00000001");
}

// A question's title shows whole under the distribution's own title bar (a bold title
// font beside the window's icon and three buttons), in English and in Dutch: the window
// made wider shows no more of it.
TEST_F(RealWindowTest, AQuestionsTitleShowsWholeInTheTitleBar) {
  if (!fs::exists("/etc/xdg/openbox/rc.xml")) GTEST_SKIP() << "no settings of the window manager's own";
  for (const std::string language : {"en", "nl"}) {
    SCOPED_TRACE(language);
    ASSERT_TRUE(x_.Start({.language = language, .stockManager = true})) << x_.Error();
    ASSERT_TRUE(x_.Activate(x_.MainWindow()));
    const unsigned long question = OpensByKeys("Escape");  // "Exit Kivo2?"
    ASSERT_TRUE(question) << x_.Describe();
    // The width of the title's white letters between the icon and the buttons.
    auto title = [&](int width) {
      const XRect g = x_.Geometry(question);
      const int top = x_.Frame(question).top;
      x_.Screenshot(shot_);
      EXPECT_EQ(g.width, width);
      const XRect label{g.x + 22, g.y - top, g.width - 74, top};
      return atoi(testsupport::Run({"convert", shot_ + "[" + Text(label) + "]", "-colorspace", "gray", "-threshold",
                                    "85%", "-trim", "-format", "%w", "info:"}).out.c_str());
    };
    const XRect g = x_.Geometry(question);
    const int shown = title(g.width);
    x_.Tool({"xdotool", "windowsize", std::to_string(question), std::to_string(g.width + 150), std::to_string(g.height)});
    RealWindow::WaitUntil([&] { return x_.Geometry(question).width == g.width + 150; }, 3000);
    EXPECT_NEAR(title(g.width + 150), shown, 1) << x_.Title(question);
    x_.Key("Escape");
  }
}

// A Dutch desktop's first start (LANGUAGE=nl alone, under the C locale; no language stored
// yet) is Dutch throughout,
// as the next start is: the EXIF window's file date and focal length (read back through the
// clipboard), the status bar's file size, and the toolkit's own file dialog (its title, and
// its buttons as the next start shows them).
TEST_F(RealWindowTest, ADutchDesktopsFirstStartIsAsDutchAsTheNext) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("xclip");
  const std::string picture = Pictures(testsupport::TempPath("album"), 1);
  ASSERT_EQ(testsupport::Run({"exiftool", "-q", "-overwrite_original", "-FocalLength=21.31", picture}).exitCode, 0);
  std::string focal = testsupport::Lines(testsupport::Run({"exiftool", "-n", "-s3", "-FocalLength", picture}).out)[0];
  focal = focal.replace(focal.find('.'), 1, ",") + " mm";
  const std::string date = "Bestandsdatum: " +
      testsupport::Lines(testsupport::Run({"date", "-r", picture, "+%-d-%-m-%Y %-H:%M:%S"}).out)[0];
  const std::string shots[2] = {testsupport::TempPath("first.png"), testsupport::TempPath("next.png")};
  XRect size, buttons;
  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE(start);
    ASSERT_TRUE(x_.Start({.arguments = {picture}, .keepSettings = start == 1,
                          .environment = {"LANGUAGE=nl", "LANG", "LC_ALL", "LC_MESSAGES"}}))
        << x_.Error();
    const XRect c = x_.Geometry(x_.MainWindow());
    ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(c, Colour(0)) > 0.01; }));
    const unsigned long exif = KeysOpen(x_.MainWindow(), "ctrl+i", "ExifInfoForm");
    ASSERT_TRUE(exif) << x_.Describe();
    const XRect e = x_.Geometry(exif);
    x_.Click(e.x + e.width / 2, e.y + e.height / 3);
    std::string text;
    RealWindow::WaitUntil([&] {
      x_.Key("ctrl+a ctrl+c");
      text = x_.Tool({"xclip", "-o", "-selection", "clipboard"}).out;
      return text.find("Bestandsdatum") != std::string::npos;
    });
    EXPECT_NE(text.find(date), std::string::npos) << date << "\n" << text;
    EXPECT_NE(text.find(focal), std::string::npos) << focal << "\n" << text;
    ASSERT_TRUE(x_.Activate(x_.MainWindow()));
    const unsigned long open = OpensByKeys("ctrl+o");
    ASSERT_TRUE(open) << x_.Describe();
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Title(open).rfind("Openen", 0) == 0; })) << x_.Title(open);
    // The status bar's fourth panel (the file size) and the dialog's buttons, once they hold still.
    const XRect d = x_.Geometry(open);
    size = {c.x + 300, c.bottom() - 19, 100, 17}, buttons = {d.x, d.bottom() - 40, d.width, 40};
    ASSERT_TRUE(RealWindow::WaitUntil([&] {
      const bool still = x_.Screenshot(shot_) && fs::exists(shots[start]) && Same(shots[start], shot_, size) &&
                         Same(shots[start], shot_, buttons);
      fs::copy_file(shot_, shots[start], fs::copy_options::overwrite_existing);
      return still;
    }));
    x_.Click(d.right() - 60, d.bottom() - 20);  // "Annuleren"
    ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(open); })) << x_.Describe();
    EXPECT_EQ(x_.Close(), 0) << x_.Describe();
  }
  EXPECT_TRUE(Same(shots[0], shots[1], size));
  EXPECT_TRUE(Same(shots[0], shots[1], buttons));
}

// The help comes up in front of the window that asked, also in front of a window that
// runs modally (which blocks input to the windows behind it) and stays there when a
// message comes and goes on the way, takes the keys there, and Esc closes it, leaving
// that window as it was.
TEST_F(RealWindowTest, TheHelpComesUpInFrontAndTakesKeysAlsoOverAModalWindow) {
  const std::string album = testsupport::TempPath("album");
  ASSERT_TRUE(x_.Start({.arguments = {Pictures(album, 2)}, .language = "nl"})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  // The compare window (Bewerken > Alles selecteren, Ctrl+Alt+C): F1 after "x" typed at the
  // end of the second name. The name is refused in a message as the help first comes up;
  // that answered, the compare window has the keyboard back and the help stays in front.
  ASSERT_TRUE(KeysOpen(main, "alt+w")) << x_.Describe();
  x_.Key("Return");
  unsigned long compare = KeysOpen(main, "ctrl+alt+c", "FormCompare");
  ASSERT_TRUE(compare) << x_.Describe();
  x_.Click(x_.Geometry(compare).x + x_.Geometry(compare).width / 2 + 300, x_.Geometry(compare).y + 40);
  x_.Key("End x F1");
  unsigned long refused = 0;  // the message: active, without a role
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return (refused = x_.ActiveWindow()) && x_.Role(refused).empty(); }));
  x_.Key("Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(refused) && x_.ActiveWindow() == compare; }))
      << x_.Describe();
  unsigned long help = x_.WaitForWindow("HtmlHelpForm");
  Sleep(500);
  EXPECT_TRUE(x_.Above(help, compare) && x_.Title(help).rfind("Help - Vergelijken", 0) == 0) << x_.Describe();
  CloseBox(compare);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(compare) && x_.Activate(main); })) << x_.Describe();
  x_.Key("F1");
  ASSERT_TRUE(RealWindow::WaitUntil([&] {
    return x_.Title(help = x_.WaitForWindow("HtmlHelpForm")).rfind("Help - Het hoofdvenster", 0) == 0;
  })) << x_.Describe();
  EXPECT_TRUE(x_.Above(help, main));
  // With the help still open, the compression center (Ctrl+E) runs modally; its F1.
  const unsigned long save = KeysOpen(main, "ctrl+e", "FormSaveImage");
  ASSERT_TRUE(save) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.ActiveWindow() == save; })) << x_.Describe();
  x_.Key("F1");
  EXPECT_TRUE(RealWindow::WaitUntil([&] {
    help = x_.FindWindow("HtmlHelpForm");
    return help && x_.Title(help).rfind("Help - Compressiecentrum", 0) == 0 && x_.Above(help, save);
  })) << x_.Describe();
  x_.Key("Escape");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("HtmlHelpForm"); })) << x_.Describe();
  EXPECT_TRUE(x_.FindWindow("FormSaveImage")) << x_.Describe();
  char id[32];
  snprintf(id, sizeof id, "0x%lx", save);
  x_.Tool({"wmctrl", "-i", "-c", id});
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("FormSaveImage"); })) << x_.Describe();
  // F1 of the aspect-ratio window (Ctrl+Alt+A); its help stays open when that closes.
  const unsigned long aspect = KeysOpen(main, "ctrl+alt+a", "CalculateAspect");
  ASSERT_TRUE(aspect) << x_.Describe();
  x_.Key("F1");
  EXPECT_TRUE(RealWindow::WaitUntil([&] {
    return x_.Title(help = x_.FindWindow("HtmlHelpForm")).rfind("Help - Beeldverhouding", 0) == 0;
  })) << x_.Describe();
  CloseBox(aspect);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(aspect) && x_.Activate(main); })) << x_.Describe();
  // Over the compare window (Bewerken > Alles selecteren, Ctrl+Alt+C) a Save As (Ctrl+S)
  // comes up in front of the help, and a name with "-" typed there is the picture saved.
  ASSERT_TRUE(OpensByKeys("alt+w")) << x_.Describe();
  x_.Key("Return");
  compare = KeysOpen(main, "ctrl+alt+c", "FormCompare");
  ASSERT_TRUE(compare) << x_.Describe();
  // A name with "-" typed into the first picture's name box, Return and Yes: it is renamed.
  x_.Click(x_.Geometry(compare).x + 300, x_.Geometry(compare).y + 40);
  x_.Key("ctrl+a");
  x_.Type("p-0.jpg");
  ASSERT_TRUE(OpensByKeys("Return")) << x_.Describe();
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return fs::exists(album + "/p-0.jpg"); })) << x_.Describe();
  const unsigned long saveAs = Opens([&] {
    x_.Activate(compare);
    x_.Key("ctrl+s");
  });
  ASSERT_TRUE(saveAs) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Above(saveAs, help); }, 3000)) << x_.Describe();
  x_.Key("ctrl+a");
  x_.Type(album + "/scherm-1.jpg");
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil(
      [&] { return testsupport::Run({"identify", "-format", "%m", album + "/scherm-1.jpg"}).out == "JPEG"; }));
  CloseBox(compare);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(compare); })) << x_.Describe();
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// Tool windows open inside the work area (here the screen less a 40-pixel task bar):
// the pixel magnifier clear of the main window's menu, whose pixels stay as they were;
// the copy window at the size of its small picture, whose "Align left (2 windows)" fills the
// work area's left half with its frame, and whose full view (F9) on and off leaves it there,
// as it leaves each copy window where it opened.
// A click on the track of the print preview's slider moves it one step, no further.
TEST_F(RealWindowTest, ToolWindowsOpenInsideTheWorkAreaClearOfTheMainMenu) {
  ASSERT_TRUE(x_.Start({.panelHeight = 40, .arguments = {Pictures(testsupport::TempPath("album"), 2)}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect area = x_.WorkArea(), client = x_.Geometry(main);
  const XRect shown{client.x + 165 + (client.width - 185) / 2, client.y + client.height / 2 - 20, 40, 40};
  ASSERT_EQ(Text(area), "1600x960+0+0");
  const std::string before = testsupport::TempPath("before.png");
  ASSERT_TRUE(x_.Screenshot(before));
  // Once the window manager has framed a window, the program keeps it inside the work area.
  const unsigned long magnifier = KeysOpen(main, "ctrl+alt+p", "UnitZoomFloat");
  ASSERT_TRUE(magnifier) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return area.contains(Outer(x_, magnifier)); }, 3000)) << x_.Describe();
  ASSERT_TRUE(x_.Screenshot(shot_));
  EXPECT_TRUE(Same(before, shot_, {client.x, client.y, client.width, 18})) << "the menu is covered\n" << x_.Describe();
  // The histogram (Ctrl+H) shows its chart beside it, also once the magnifier is put in front again; Ctrl+H
  // hides it wherever the keyboard is: still in the main window, after a click on its edge (0), in the magnifier.
  for (const unsigned long typedIn : {main, 0ul, magnifier}) {
    const unsigned long histogram = KeysOpen(main, "ctrl+h", "HistogramForm");
    Sleep(1500);
    const XRect h = x_.Geometry(histogram);
    EXPECT_GT(ShareNow({h.x + 10, h.y + 30, 200, 100}, "rgb(166,202,240)"), 0.5) << x_.Describe();
    if (!typedIn) x_.Click(h.x + 1, h.y + 1);
    EXPECT_TRUE(typedIn != magnifier || x_.Activate(magnifier)) << x_.Describe();
    x_.Key("ctrl+h");
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(histogram); }, 3000)) << typedIn << x_.Describe();
  }
  // A press on it drags it; it keeps its size within 167 x 183 and 450 x 450 with its frame.
  EXPECT_TRUE(Drags(magnifier, 30, 100, -20, 20)) << x_.Describe();
  for (const auto& [asked, whole] : {std::pair{"800", "450x450+"}, {"40", "167x183+"}}) {
    x_.Tool({"xdotool", "windowsize", std::to_string(magnifier), asked, asked});
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return Text(Outer(x_, magnifier)).rfind(whole, 0) == 0; }, 3000))
        << x_.Describe() << x_.Property(magnifier, "WM_NORMAL_HINTS");
  }
  // Kept in front, it leaves the keyboard with the main window clicked: "." shows the next picture.
  x_.Click(shown.x, shown.y);
  Sleep(2500);
  EXPECT_TRUE(x_.ActiveWindow() == main && x_.Above(magnifier, main)) << x_.Describe();
  x_.Key("period");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(shown, Colour(1)) > 0.9; }, 5000)) << "\".\" is lost";
  ASSERT_TRUE(x_.Activate(main));
  x_.Key("ctrl+alt+p");
  const unsigned long print = Opens([&] { x_.Click(1166, 51); });
  const XRect p = x_.Geometry(print);
  x_.Click(p.x + 689, p.y + 24);
  for (const std::string& shot : {before, shot_}) Sleep(1000), x_.Screenshot(shot);
  EXPECT_TRUE(Same(before, shot_, {p.x + 455, p.y + 10, 250, 30})) << "the slider runs on";
  CloseBox(print);

  // Full view (F9) takes the frame off and puts it back around the picture where it was.
  auto fullViewOffAndOn = [&](unsigned long window) {
    const XRect inside = x_.Geometry(window);
    for (const int titleBar : {0, 1}) {
      ASSERT_TRUE(x_.Activate(window));
      x_.Key("F9");
      EXPECT_TRUE(RealWindow::WaitUntil([&] { return (x_.Frame(window).top > 0) == titleBar; }, 5000)) << x_.Describe();
      EXPECT_TRUE(RealWindow::WaitUntil([&] { return Text(x_.Geometry(window)) == Text(inside); }, 3000))
          << x_.Describe();
    }
  };
  const unsigned long copy = KeysOpen(main, "ctrl+w", "ImageCopyForm");
  ASSERT_TRUE(copy) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return area.contains(Outer(x_, copy)); }, 3000)) << x_.Describe();
  // So in each copy window as it opened (a second one closed by Esc).
  fullViewOffAndOn(copy);
  ASSERT_TRUE(x_.Activate(main));
  const unsigned long second = OpensByKeys("ctrl+w");
  ASSERT_TRUE(second) << x_.Describe();
  fullViewOffAndOn(second);
  x_.Key("Escape");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(second); })) << x_.Describe();
  EXPECT_TRUE(Drags(copy, 160, 150, 20, 20, "ctrl")) << "with Ctrl held\n" << x_.Describe();
  const XRect g = x_.Geometry(copy);
  // The popup's first item, "Align window", and its first, "Align left (2 windows)".
  ASSERT_TRUE(Opens([&] { x_.Click(g.x + g.width / 2, g.y + g.height / 2, 3); })) << "no popup menu";
  ASSERT_TRUE(OpensByKeys("Down Right")) << "no submenu";
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return Text(Outer(x_, copy)) == "800x960+0+0"; }, 5000)) << x_.Describe();
  // "Allign Bottom right (4 Windows)", the submenu's ninth item; full view there.
  ASSERT_TRUE(Opens([&] { x_.Click(400, 480, 3); })) << "no popup menu";
  ASSERT_TRUE(OpensByKeys("Down Right")) << "no submenu";
  x_.Key("Down Down Down Down Down Down Down Down Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return Text(Outer(x_, copy)) == "800x480+800+480"; }, 5000)) << x_.Describe();
  fullViewOffAndOn(copy);
  // The palettes (by their image and their panel's frame), the thumbnail settings and the
  // histogram go where they are dragged.
  for (const auto& [keys, role, x, y, frameY] :
       {std::tuple{"ctrl+t", "FormFilterSelect", 12, 12, 236}, {"alt+s Up Return", "FormFadestyles", 12, 12, 184},
        {"alt+o Up Return", "FormThumbsettings", 100, 10, 10}, {"ctrl+h", "HistogramForm", 100, 60, 60}}) {
    const unsigned long w = KeysOpen(main, keys, role);
    EXPECT_TRUE(w && Drags(w, x, y, -20, 20) && Drags(w, 100, frameY, 20, -20)) << role << "\n" << x_.Describe();
    CloseBox(w);
    ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(w); })) << x_.Describe();
  }
  // The window of the small picture was as wide as its bar: the last button, "close window", ended there.
  x_.Click(x_.Geometry(copy).x + g.width - 12, x_.Geometry(copy).y + 13);
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(copy); })) << x_.Describe();
}

// Selections stand out in the grey file list; the compare window (Ctrl+Alt+C) shows each
// picture from its corner also after the last opening's 500 %, under a title naming no panel
// of it; the first fade of a slide show starts from the picture shown, never from black.
TEST_F(RealWindowTest, GreyListSelectionsComparedPicturesAndTheFirstFadeShowAsTheyShould) {
  const std::string album = testsupport::TempPath("album");
  fs::create_directories(album);
  for (int n = 0; n < 4; ++n)
    testsupport::Run({"convert", "-size", n < 2 ? "1600x1000" : "100x7" + std::to_string(n), "xc:" + Colour(n),
                      album + "/p" + std::to_string(n) + ".jpg"});
  ASSERT_TRUE(x_.Start({.arguments = {album + "/p0.jpg"}, .registryValues = {"\"Gray lists\"=dword:00000001",
      "\"Fade\"=dword:00000001", "\"FadeDirectional\"=dword:00000001"}})) << x_.Error();
  unsigned long compare = 0;
  for (const int row : {0, 2}) {  // the rows row (not the current one) and row + 1
    x_.Click(20, 319 + 13 * row);
    x_.Tool({"xdotool", "keydown", "shift", "mousemove", "20", std::to_string(332 + 13 * row), "click", "1", "keyup",
             "shift"});
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow({100, 315 + 13 * row, 50, 8}, "rgb(212,208,200)") == 0; }));
    ASSERT_TRUE(compare = KeysOpen(x_.MainWindow(), "ctrl+alt+c", "FormCompare")) << x_.Describe();
    if (row == 2 || !Opens([&] { x_.Click(288, 32); })) break;
    x_.Key("Up Return");  // "Zoom All", 500 %; the pointer on the first picture names its panel
    for (int y : {300, 310}) x_.MoveMouse(300, y);
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Title(compare).rfind("Active panel 1", 0) == 0; }));
    x_.Click(40, 32);
    ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("FormCompare"); })) << x_.Describe();
  }
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow({804, 79, 90, 60}, Colour(3)) == 1; })) << x_.Describe();
  EXPECT_EQ(x_.Title(compare).rfind("Compare", 0), 0u);
  x_.Click(40, 32);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("FormCompare"); })) << x_.Describe();
  x_.Click(20, 319);
  x_.Click(475, 51);  // "Show" (F8), clicked: a key held on a busy machine repeats
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(screen_, Colour(0)) > 0.9; })) << x_.Describe();
  bool black = false;  // both pictures are red, and so is all in between
  EXPECT_TRUE(RealWindow::WaitUntil([&] {
    black = black || ShareNow(screen_, Colour(0), 20) < 0.8;
    return Share(shot_, screen_, Colour(1), 2) > 0.9;
  }, 20000));
  EXPECT_FALSE(black) << "the fade starts from black";
}

// Zoom > "To fit" fits the whole picture in the picture area from any zoom: the picture
// (blue with a red frame, twice as wide as high) shows its frame on all four sides and
// is larger than the fitted picture (which keeps a margin), the same from 100, 150 and
// 200 %. A picture with an alpha channel (a red square, a half-transparent green disc, the
// rest transparent) shows over the picture area's colour, in the thumbnails too, and over
// full screen's black, as ImageMagick lays it over them.
TEST_F(RealWindowTest, ZoomToFitShowsTheWholePictureFromAnyZoomAndTransparentPartsTheBackground) {
  const std::string album = testsupport::TempPath("album"), picture = album + "/wide.png", clear = album + "/clear.png";
  fs::create_directories(album);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "2000x1000", "xc:red", "-fill", "blue", "-draw",
                              "rectangle 12,12 1987,987", picture}).exitCode, 0);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "400x300", "xc:none", "-fill", "rgba(0,160,0,0.5)", "-draw",
                              "circle 200,150 200,60", "-fill", "rgb(200,30,30)", "-draw", "rectangle 20,20 80,80",
                              "PNG32:" + clear}).exitCode, 0);
  ASSERT_TRUE(x_.Start({.arguments = {picture}, .registryValues = {"\"PictBackground\"=dword:00c08040"}}))
      << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect client = x_.Geometry(main);
  // Where the picture lies on the screen: the box around its red and blue pixels.
  auto pictureBox = [&] { return BoxNow(client, {"rgb(255,0,0)", "rgb(0,0,255)"}); };
  auto red = [&](int x, int y) { return Share(shot_, {x, y, 1, 1}, "rgb(255,0,0)", 20) == 1.0; };
  XRect fitted;
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return (fitted = pictureBox()).width > 500; })) << x_.Describe();
  for (const char* zoom : {"", "plus", "plus plus"}) {
    SCOPED_TRACE(std::string("from ") + zoom);
    ASSERT_TRUE(x_.Activate(main));
    if (*zoom) x_.Key(zoom);
    // The bar's "Zoom" button opens the zoom menu; its last item is "To fit".
    ASSERT_TRUE(Opens([&] { x_.Click(client.x + 870, client.y + 32); })) << "no zoom menu\n" << x_.Describe();
    x_.Key("Up Return");
    // The screen is read until it settles on the fitted picture: whole, red frame on all
    // four sides (a screen read while the zoom is still being drawn shows part of it).
    XRect box;
    bool whole = false;
    EXPECT_TRUE(RealWindow::WaitUntil([&] {
      box = pictureBox();
      if (box.width <= fitted.width || std::abs(box.width - 2 * box.height) > 2) return false;
      const int midX = box.x + box.width / 2, midY = box.y + box.height / 2;
      whole = red(box.x, midY) && red(box.right() - 1, midY) && red(midX, box.y) && red(midX, box.bottom() - 1);
      return whole;
    }, 5000)) << Text(box) << " fitted " << Text(fitted) << (whole ? "" : ", the frame is cut");
  }
  auto over = [&](const std::string& background, const char* at) {
    return testsupport::Run({"convert", clear, "-background", background, "-flatten", "-format", at, "info:"}).out;
  };
  // The disc's middle and the bottom right corner, 180, 130 and 370, 270 from the square.
  auto shows = [&](const std::string& background, const XRect& area) {
    const std::string disc = over(background, "%[pixel:p{200,150}]"), corner = over(background, "%[pixel:p{390,290}]");
    XRect s;
    return RealWindow::WaitUntil([&] {
      s = BoxNow(area, {"rgb(200,30,30)"});
      return s.width == 61 && Share(shot_, {s.x + 180, s.y + 130, 1, 1}, disc, 2) == 1 &&
             Share(shot_, {s.x + 370, s.y + 270, 1, 1}, corner, 2) == 1;
    }, 5000) || !(std::cerr << background << " wanted " << disc << " " << corner << " at " << Text(s) << "\n");
  };
  x_.Key("period");
  EXPECT_TRUE(shows("rgb(64,128,192)", {client.x + 200, client.y + 80, client.width - 200, client.height - 110}));
  const std::string green = over("rgb(64,128,192)", "%[pixel:p{200,150}]");
  const double discs = Share(shot_, client, green, 2), pixel = 1.0 / (client.width * client.height);
  x_.Key("F5");  // the thumbnails: one disc more
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(client, green, 2) > discs + 100 * pixel; }));
  x_.Key("F5 F9");
  EXPECT_TRUE(shows("black", {0, 100, 1600, 900}));
}

// A panorama of 40000 x 6000 pixels (a JPEG of cells: red grows to the right, green
// downwards, blue turns every 1000 columns, the last 50 columns are magenta) shows whole
// when fitted, as ImageMagick scales it down; at full size ("Fit" up), scrolled to its
// right end by the scroll bar, it shows the pixels djpeg decodes there. The program's
// memory peaks at the picture's 720 MB of pixels and less than 200 MB more: one copy.
TEST_F(RealWindowTest, APanoramaShowsFittedAndAtFullSizeToItsRightEnd) {
  for (const char* tool : {"pamenlarge", "cjpeg", "djpeg"}) KIVO2_REQUIRE_TOOL(tool);
  const std::string cells = testsupport::TempPath("cells.ppm"), end = testsupport::TempPath("end.ppm");
  const std::string picture = testsupport::TempPath("album/panorama.jpg");
  fs::create_directories(testsupport::TempPath("album"));
  ASSERT_EQ(testsupport::Run({"convert", "-size", "800x6", "xc:", "-channel", "R", "-fx", "i/799", "-channel", "G",
                              "-fx", "i==799?0:(40+j*40)/255", "-channel", "B", "-fx", "i==799?1:floor(i/20)%2*0.8",
                              "+channel", "-depth", "8", cells}).exitCode, 0);
  ASSERT_EQ(testsupport::Run({"sh", "-c", "pamenlarge -xscale 50 -yscale 1000 \"$1\" | cjpeg -outfile \"$2\" && "
                              "djpeg -crop 800x300+39200+0 -outfile \"$3\" \"$2\"", "sh", cells, picture, end})
                .exitCode, 0);
  ASSERT_TRUE(x_.Start({.arguments = {picture}})) << x_.Error();
  const XRect c = x_.Geometry(x_.MainWindow()), area{c.x + 190, c.y + 49, c.width - 190, c.height - 71};
  XRect box;
  ASSERT_TRUE(RealWindow::WaitUntil([&] {
    box = BoxNow(area);
    return box.width > 1000 && std::abs(box.width * 3.0 / box.height - 20) < 0.2;
  }, 20000)) << Text(box) << "\n" << x_.Describe();
  // Both taken down to two samples a cell.
  const auto fitted = testsupport::Run({"compare", "-metric", "RMSE", shot_ + "[" + Text(box) + "]", "-resize",
                                        "80x12!", "(", "-define", "jpeg:size=5000x750", picture, "-resize", "80x12!",
                                        ")", "null:"});
  EXPECT_LT(atof(fitted.err.substr(fitted.err.find('(') + 1).c_str()), 0.03) << fitted.err;
  x_.Click(c.x + 743, c.y + 32);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(area, "rgb(0,40,0)", 3) > 0.3; }, 30000)) << x_.Describe();
  const std::string bar = std::to_string(c.bottom() - 30);
  x_.Tool({"xdotool", "mousemove", std::to_string(c.x + 225), bar, "mousedown", "1", "mousemove", "800", bar,
           "mousemove", std::to_string(c.right() - 1), bar, "mouseup", "1"});
  EXPECT_TRUE(RealWindow::WaitUntil([&] {
    box = BoxNow(area, {"rgb(255,0,255)"});
    return std::abs(box.width - 50) <= 2 && box.y == area.y;
  })) << Text(box);
  EXPECT_EQ(testsupport::Run({"compare", "-metric", "AE", "-fuzz", "1%",
                              shot_ + "[" + Text({box.right() - 800, box.y, 800, 300}) + "]", end, "null:"}).err, "0");
  const std::string status = testsupport::ReadFile("/proc/" + std::to_string(x_.Pid()) + "/status");
  const long peak = atol(status.c_str() + status.find("VmHWM:") + 6) * 1024;
  EXPECT_TRUE(peak > 720000000 && peak < 920000000) << "peak " << peak << " bytes";
}

// Keys reach the command shown beside them wherever its menu can be opened - Ctrl+X of the
// picture's popup menu ("Exif overlay on/off") with the keyboard in the folder tree - but
// not while a text editor has the keyboard: renaming the folder in place, Ctrl+A selects
// the name (what is typed then replaces it) and leaves "Show file name" (Ctrl+A of the
// slide show menu) as it was.
TEST_F(RealWindowTest, ShortcutsWorkWhereTheirMenuIsReachableButNotInATextEditor) {
  KIVO2_REQUIRE_TOOL("exiftool");
  const std::string pictures = testsupport::TempPath("pictures"), picture = Pictures(pictures + "/album", 1);
  ASSERT_EQ(testsupport::Run({"exiftool", "-q", "-overwrite_original", "-Make=Kivo", "-Model=Overlay 1",
                              "-DateTimeOriginal=2004:06:01 12:00:00", picture}).exitCode, 0);
  ASSERT_TRUE(x_.Start({.arguments = {picture}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  // The picture area: right of the folder tree and the file list, between the bars.
  const XRect c = x_.Geometry(main), area{c.x + 200, c.y + 60, c.width - 200, c.height - 90};
  const std::string plain = testsupport::TempPath("plain.png");
  ASSERT_TRUE(x_.Activate(main));
  // The pointer on the title bar brings no hint over the window.
  x_.MoveMouse(800, 8);
  // The picture is shown once the screen stops changing.
  ASSERT_TRUE(RealWindow::WaitUntil([&] {
    fs::copy_file(shot_, plain, fs::copy_options::overwrite_existing, *std::make_unique<std::error_code>());
    return x_.Screenshot(shot_) && fs::exists(plain) && Same(plain, shot_, area);
  })) << x_.Describe();
  x_.Key("ctrl+x");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && !Same(plain, shot_, area); }, 5000))
      << "no overlay";
  x_.Key("ctrl+x");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && Same(plain, shot_, area); }, 5000))
      << "the overlay stays";

  // The folder tree's menu (the keyboard's menu key), "Rename folder"; "Yes". The editor's
  // keys wait for the menu to be gone: keys given while a menu holds the keyboard are lost.
  const size_t windows = x_.Windows().size();
  ASSERT_TRUE(OpensByKeys("Menu")) << "no menu\n" << x_.Describe();
  x_.Key("Down Down Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() == windows; })) << x_.Describe();
  x_.Key("ctrl+a");
  x_.Type("renamed");
  ASSERT_TRUE(OpensByKeys("Return")) << x_.Describe();
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return fs::is_directory(pictures + "/renamed"); }, 5000));
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
  EXPECT_EQ(Stored("ShowFilename"), "dword:00000000");
}

// File > Find file(s) (Ctrl+F) closed without a search - by its "Close" button (Alt+C)
// or by the window's close box - gives back the folder's list: "." then shows the next
// picture of the folder.
TEST_F(RealWindowTest, ClosingTheSearchWindowWithoutASearchGivesBackTheFolderList) {
  ASSERT_TRUE(x_.Start({.arguments = {Pictures(testsupport::TempPath("pictures/album"), 3)}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  auto shows = [&](int n) { return ShareNow(screen_, Colour(n)) > 0.01; };
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return shows(0); })) << x_.Describe();
  for (const bool button : {true, false}) {
    SCOPED_TRACE(button ? "Close" : "close box");
    ASSERT_TRUE(x_.Activate(main));
    x_.Key("ctrl+f");
    const unsigned long search = x_.WaitForWindow("SearchForm");
    ASSERT_TRUE(search) << x_.Describe();
    ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.ActiveWindow() == search; })) << x_.Describe();
    if (button) {
      // "Find string / Find words" is drawn greyed until the search text holds a blank.
      const XRect s = x_.Geometry(search), label{s.x + 8, s.y + 8, 150, 15}, choice{s.x + 10, s.y + 54, 328, 36};
      ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(label) > 0.05; })) << "the window is not drawn";
      const double greyed = Share(shot_, choice);
      x_.Type("a b");
      EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(choice) > 3 * greyed + 0.01; }, 5000))
          << "the choice looks alike disabled and enabled: " << greyed;
      x_.Key("alt+c");
    } else {
      CloseBox(search);
    }
    ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("SearchForm"); })) << x_.Describe();
    // The folder's list, at its first picture.
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return shows(0); }, 5000));
    ASSERT_TRUE(x_.Activate(main));
    x_.Key("period");
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return shows(1); }, 5000)) << "p1.jpg is not shown";
  }
}

// The status bar describes what is shown: after a rename the shown file's new name (as
// when the renamed file is opened afresh), no details once the empty "Shows" node is
// chosen; the message "Background thumbnail creation starts at" goes when that job ends.
// The rename window opens with the name selected in its name box, also after its Close,
// and once it and its question close the keyboard is back in the main window's list.
TEST_F(RealWindowTest, TheStatusDescribesWhatIsShown) {
  const std::string album = testsupport::TempPath("pictures/album");
  ASSERT_TRUE(x_.Start({.arguments = {Pictures(album, 3)}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect c = x_.Geometry(main);
  // The status bar's last panel (the file name), the panels after the first (the list
  // place), and the bottom of the picture area where messages stand.
  const XRect name{c.x + 725, c.bottom() - 19, c.width - 745, 17}, details{c.x + 75, c.bottom() - 19, c.width - 95, 17};
  const XRect messages{c.x + 200, c.bottom() - 80, 700, 55};
  const std::string before = testsupport::TempPath("before.png"), renamed = testsupport::TempPath("renamed.png");
  auto shows = [&](int n) { return RealWindow::WaitUntil([&] { return ShareNow(c, Colour(n)) > 0.01; }); };
  ASSERT_TRUE(shows(0));
  x_.MoveMouse(800, 8);
  ASSERT_TRUE(x_.Activate(main));
  ASSERT_TRUE(x_.Screenshot(before));

  // The file list's menu, "Rename file" (fourth from its end): closed by its Close button
  // and opened again, it takes the new name typed; "Yes".
  auto renameWindow = [&] {
    EXPECT_TRUE(Opens([&] { x_.Click(35, 460, 3); })) << "no menu\n" << x_.Describe();
    x_.Key("Up Up Up Up Return");
    return x_.WaitForWindow("FormEditName");
  };
  const unsigned long rename = renameWindow();
  ASSERT_TRUE(rename) << x_.Describe();
  x_.Click(x_.Geometry(rename).x + 342, x_.Geometry(rename).y + 96);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(rename); }) && renameWindow()) << x_.Describe();
  x_.Type("renamed");
  ASSERT_TRUE(OpensByKeys("Return")) << "no question\n" << x_.Describe();
  x_.Key("Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return fs::exists(album + "/renamed.jpg"); })) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.ActiveWindow() == main; })) << x_.Describe();
  x_.MoveMouse(800, 8);
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Screenshot(renamed) && !Same(before, renamed, name); }, 5000))
      << "the status bar names the old file";
  // The next picture and back by the list's keys: the renamed file opened afresh.
  x_.Key("Down");
  ASSERT_TRUE(shows(1));
  x_.Key("Up");
  ASSERT_TRUE(shows(0));
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && Same(renamed, shot_, name); }, 5000));

  // Tools > "Create thumbnails for the folder tree" (the fourth item): a short job.
  ASSERT_TRUE(x_.Screenshot(before));
  ASSERT_TRUE(OpensByKeys("alt+t")) << "no menu\n" << x_.Describe();
  x_.Key("Down Down Down Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return fs::exists(testsupport::TempPath("../cache/Kivo2/Thumbcache")); }));
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && Same(before, shot_, messages); }, 10000))
      << "the message stays";

  // Paperclip > "Paperclip and shows" (the fifth item): the paperclip's node, then "Shows".
  ASSERT_TRUE(OpensByKeys("alt+c")) << "no menu\n" << x_.Describe();
  x_.Key("Down Down Down Down Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(c, Colour(0)) == 0; }));
  x_.Key("Down");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(details) == 0; }, 5000))
      << "the status bar keeps a picture's details";
}

// Two programs on one home add to one paperclip of 60,000 lines by its menu at the same
// moment, one 1,000 pictures and the other 6, twenty times: every line lands, once
// (sorted and compared with what both added; on failure wc and uniq count).
TEST_F(RealWindowTest, TwoProgramsAddingToOneLongPaperclipAtOnceBothLand) {
  const std::string appDir = std::string(getenv("XDG_DATA_HOME")) + "/Kivo2/", clip = appDir + "paperclip.lst";
  const std::string expected = testsupport::TempPath("expected"), sample = Pictures(testsupport::TempPath("one"), 1);
  std::string base, added;
  for (int i = 0; i < 60000; ++i) base += "/card/" + std::to_string(i) + ".jpg\r\n";
  for (const auto& [name, count] : {std::pair{"many", 1000}, {"few", 6}})
    for (int i = 0; i < count; ++i) {
      const std::string folder = testsupport::TempPath(name);
      fs::create_directories(folder);
      fs::copy_file(sample, folder + "/m" + std::to_string(i) + ".jpg");
      added += folder + "/m" + std::to_string(i) + ".jpg\n";
    }
  fs::create_directories(appDir);
  testsupport::WriteFile(clip, base);
  testsupport::Run({"sh", "-c", "{ tr -d '\\r' <\"$0\"; cat; } | LC_ALL=C sort >\"$1\"", clip, expected}, added);
  RealWindow y;
  RealWindow* programs[] = {&x_, &y};
  size_t windows[2];
  // Each program's menu key, waiting for the menu to open (its Return acts on the first item).
  auto menu = [&](int p, const std::string& key) {
    RealWindow& w = *programs[p];
    RealWindow::WaitUntil([&] { return w.Windows().size() == windows[p]; });
    w.Key(key);
    return RealWindow::WaitUntil([&] { return w.Windows().size() > windows[p]; });
  };
  for (int p = 0; p < 2; ++p) {
    const std::string folder = testsupport::TempPath(p ? "few" : "many");
    ASSERT_TRUE(programs[p]->Start({.registryValues = {"\"LastPath\"=\"" + folder + "/\""}})) << programs[p]->Error();
    ASSERT_TRUE(programs[p]->Activate(programs[p]->MainWindow()));
    windows[p] = programs[p]->Windows().size();
    ASSERT_TRUE(menu(p, "alt+e")) << programs[p]->Describe();  // Edit > Select all
    programs[p]->Key("Return");
  }
  pollfd watch{inotify_init1(IN_CLOEXEC | IN_NONBLOCK), POLLIN, 0};
  // Without the watch every round would wait out its time: say so at once instead.
  ASSERT_GE(watch.fd, 0) << strerror(errno);
  ASSERT_GE(inotify_add_watch(watch.fd, appDir.c_str(), IN_MOVED_TO), 0) << strerror(errno);
  for (int round = 1; round <= 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Paperclip > "Add file(s) to the paperclip" in both, the two Returns at once.
    ASSERT_TRUE(menu(0, "alt+c") && menu(1, "alt+c")) << x_.Describe() << y.Describe();
    std::thread other([&] { y.Key("Return"); });
    x_.Key("Return");
    other.join();
    // Each program puts its list in place once.
    for (int moved = 0; moved < 2 && poll(&watch, 1, 15000) > 0;) {
      char events[4096] __attribute__((aligned(8)));
      for (ssize_t at = 0, size = read(watch.fd, events, sizeof events); at < size;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        moved += std::string(event->name) == "paperclip.lst";
        at += ssize_t(sizeof(inotify_event) + event->len);
      }
    }
    const std::string compare = "tr -d '\\r' <\"$0\" | LC_ALL=C sort | cmp -s - \"$1\"";
    EXPECT_EQ(testsupport::Run({"sh", "-c", compare, clip, expected}).exitCode, 0)
        << testsupport::Run({"sh", "-c", "wc -l <\"$0\"; tr -d '\\r' <\"$0\" | sort | uniq | wc -l", clip}).out;
    testsupport::WriteFile(clip, base);
  }
  close(watch.fd);
  EXPECT_EQ(y.Close(), 0) << y.Log();
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// Another program holds the lock of the program's data folder (flock(1)) while the picture
// is added to the paperclip: the menu is gone at once and the window drawn again, a
// notice in front of the window (also after a click on it) says that the program waits,
// and keys and clicks given meanwhile change nothing; when the holder lets go the picture
// lands in the paperclip. Held on, Esc gives the wait up: a message says so and the
// paperclip on disk stays as it was.
TEST_F(RealWindowTest, AddingToThePaperclipWaitsForAnotherProgramsLockWithTheWindowAlive) {
  const std::string appDir = std::string(getenv("XDG_DATA_HOME")) + "/Kivo2", clip = appDir + "/paperclip.lst";
  const std::string album = testsupport::TempPath("album"), first = Pictures(album, 2);
  fs::create_directories(appDir);
  ASSERT_TRUE(x_.Start({.arguments = {first}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect c = x_.Geometry(main);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(screen_, Colour(0)) > 0.01; })) << x_.Describe();
  ASSERT_TRUE(x_.Activate(main));
  const size_t windows = x_.Windows().size();
  auto paperclip = [&] { return testsupport::Run({"sh", "-c", "tr -d '\\r' <\"$0\"", clip}).out; };
  const std::string before = testsupport::TempPath("before.png");
  ASSERT_TRUE(RealWindow::WaitUntil(
      [&] { return x_.Screenshot(shot_) && x_.Screenshot(before) && Same(shot_, before, screen_); }, 20000));
  auto holder = std::make_unique<testsupport::HeldLock>(appDir, "8");
  // Paperclip > "Add file(s) to the paperclip"; right of the folder tree (which may scroll by
  // itself) the menu lies over the window.
  const unsigned long menu = OpensByKeys("alt+c");
  ASSERT_TRUE(menu) << x_.Describe();
  const XRect m = x_.Geometry(menu), right{std::max(m.x, 200), m.y, m.right() - std::max(m.x, 200), m.height};
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && Same(before, shot_, right); }, 2000))
      << "the menu stays drawn";
  const unsigned long notice = x_.WaitForWindow("LockWaitForm", 2000);
  ASSERT_TRUE(notice && Steady(Outer(x_, notice))) << x_.Describe();
  // The next picture, Delete, and a click on the menu bar's first menu: the notice stays in
  // front of the window it waits for, in sight.
  x_.Key("period Delete");
  x_.Click(c.x + 15, c.y + 10);
  EXPECT_FALSE(RealWindow::WaitUntil([&] { return !x_.Above(notice, main); }, 1000))
      << x_.Property(0, "_NET_CLIENT_LIST_STACKING") << "\n" << x_.Describe();
  EXPECT_TRUE(x_.Screenshot(shot_) && Same(before_, shot_, Outer(x_, notice))) << "the notice is covered";
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return paperclip() == first + "\n"; }, 10000)) << x_.Describe();
  holder->Wait();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("LockWaitForm"); })) << x_.Describe();
  EXPECT_FALSE(RealWindow::WaitUntil([&] { return ShareNow(screen_, Colour(1)) > 0.01; }, 1500))
      << "a key given during the wait acted";
  EXPECT_EQ(x_.Windows().size(), windows) << x_.Describe();
  EXPECT_TRUE(fs::exists(first));

  holder = std::make_unique<testsupport::HeldLock>(appDir, "30");
  x_.Key("period");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(screen_, Colour(1)) > 0.01; })) << "the window takes no keys";
  ASSERT_TRUE(OpensByKeys("alt+c")) << x_.Describe();
  x_.Key("Return");
  ASSERT_TRUE(x_.WaitForWindow("LockWaitForm", 2000)) << x_.Describe();
  const auto escaped = std::chrono::steady_clock::now();
  const unsigned long message = Opens([&] { x_.Key("Escape"); });
  EXPECT_TRUE(message && !x_.FindWindow("LockWaitForm")) << x_.Describe();
  EXPECT_LT(std::chrono::steady_clock::now() - escaped, std::chrono::seconds(3));
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() == windows; })) << x_.Describe();
  EXPECT_EQ(paperclip(), first + "\n");
  holder.reset();
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// A double click on a list entry, and the list menu's "Open with associated program", hand
// a picture to the desktop's program for JPEG pictures; an executable script and a program
// named like pictures are never run (their marker stays absent) and have no program.
TEST_F(RealWindowTest, AListedFileGoesToItsTypesProgramAndIsNeverRun) {
  KIVO2_REQUIRE_TOOL("cc");
  KIVO2_REQUIRE_TOOL("xdg-mime");
  const std::string card = testsupport::TempPath("card"), marker = testsupport::TempPath("ran");
  const std::string viewer = testsupport::TempPath("viewer.sh"), seen = viewer + ".seen";
  const std::string source = testsupport::TempPath("program.c");
  Pictures(card, 1);
  testsupport::WriteFile(card + "/IMG_0002.JPG", "#!/bin/sh\ntouch " + marker + "\n");
  testsupport::WriteFile(source, "#include <stdio.h>\nint main(void) { return !fopen(\"" + marker + "\", \"w\"); }\n");
  ASSERT_EQ(testsupport::Run({"cc", "-o", card + "/IMG_0003.JPG", source}).exitCode, 0);
  testsupport::WriteFile(viewer, "#!/bin/sh\necho \"$@\" >> " + seen + "\n");
  for (const std::string& file : {viewer, card + "/IMG_0002.JPG"}) fs::permissions(file, fs::perms::owner_all);
  const std::string data = getenv("XDG_DATA_HOME");
  fs::create_directories(data + "/applications");
  testsupport::WriteFile(data + "/applications/kvview.desktop", "[Desktop Entry]\nExec=" + viewer + " %f\n");
  testsupport::WriteFile(std::string(getenv("XDG_CONFIG_HOME")) + "/mimeapps.list",
                         "[Default Applications]\nimage/jpeg=kvview.desktop\n");
  ASSERT_TRUE(x_.Start({.arguments = {card + "/p0.jpg"}})) << x_.Error();
  // The list's rows: IMG_0002.JPG, IMG_0003.JPG, p0.jpg; each double-clicked, then opened
  // by the first item of its menu.
  std::string opened;
  for (int row = 0; row < 3; ++row) {
    for (const bool menu : {false, true}) {
      SCOPED_TRACE(std::to_string(row) + (menu ? " menu" : " double click"));
      const int y = 319 + 13 * row;
      std::vector<unsigned long> known;
      if (menu) {
        x_.Click(30, y);
        const unsigned long popup = Opens([&] { x_.Click(30, y, 3); });
        ASSERT_TRUE(popup) << x_.Describe();
        known = x_.Windows();
        x_.Click(x_.Geometry(popup).x + 40, x_.Geometry(popup).y + 10);
      } else {
        known = x_.Windows();
        x_.MoveMouse(30, y);
        x_.Tool({"xdotool", "click", "--repeat", "2", "--delay", "80", "1"});
      }
      if (row == 2) {
        opened += card + "/p0.jpg\n";
        EXPECT_TRUE(RealWindow::WaitUntil([&] { return fs::exists(seen) && testsupport::ReadFile(seen) == opened; }));
        continue;
      }
      // "No associated program for this file type."
      const unsigned long message = NewWindow(known);
      ASSERT_TRUE(message && x_.HasState(message, "_NET_WM_STATE_MODAL")) << x_.Describe();
      x_.Key("Return");
      ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(message); })) << x_.Describe();
    }
  }
  EXPECT_FALSE(RealWindow::WaitUntil([&] { return fs::exists(marker); }, 2000));
}

// The drop-down menus of the main menu draw the arrow that says a submenu follows:
// Picture > "JPG decode scale", chosen with the keys, shows one at its right end.
TEST_F(RealWindowTest, TheMainMenuDrawsSubmenuArrows) {
  ASSERT_TRUE(x_.Start({})) << x_.Error();
  ASSERT_TRUE(x_.Activate(x_.MainWindow()));
  const unsigned long menu = OpensByKeys("alt+p");
  ASSERT_TRUE(menu) << x_.Describe();
  x_.Key("Down Down Down");
  const XRect m = x_.Geometry(menu);
  // The chosen item: the rows of the menu that are mostly the selection's grey.
  XRect chosen{0, -1, m.width, 0};
  ASSERT_TRUE(RealWindow::WaitUntil([&] {
    if (!x_.Screenshot(shot_)) return false;
    const auto r = testsupport::Run({"convert", shot_ + "[" + Text(m) + "]", "-fuzz", "3%", "-fill", "black",
                                     "+opaque", "rgb(159,159,159)", "-fill", "white", "-opaque", "rgb(159,159,159)",
                                     "-scale", "1x" + std::to_string(m.height) + "!", "-depth", "8", "txt:-"});
    chosen.y = -1;
    for (const std::string& line : testsupport::Lines(r.out)) {
      int x = 0, y = 0, v = 0;
      if (sscanf(line.c_str(), "%d,%d: (%d", &x, &y, &v) != 3 || v < 180) continue;
      if (chosen.y < 0) chosen.y = y;
      chosen.height = y - chosen.y + 1;
    }
    return chosen.y > 40;
  })) << x_.Describe();
  // Its right third holds no text: what is dark there is the arrow.
  EXPECT_GT(Share(shot_, {m.x + m.width * 2 / 3, m.y + chosen.y, m.width / 3 - 2, chosen.height}), 0.0);
  x_.Key("Escape");
}

// Names typed into the trees' editors are the names made: every key, the keypad's too,
// goes to the editor and the window does nothing with it (the picture keeps its size, F7
// leaves the status bar) until the editor closes. A refused character keeps the old name.
TEST_F(RealWindowTest, NamesTypedIntoTheTreesAreTheNamesMade) {
  const std::string album = std::string(getenv("HOME")) + "/album", before = testsupport::TempPath("before.png");
  const std::string shows = std::string(getenv("XDG_DATA_HOME")) + "/Kivo2/Shows/";
  fs::create_directories(shows);
  testsupport::WriteFile(shows + "old.shw", Pictures(album, 2) + "\r\n" + album + "/p1.jpg\r\n");
  ASSERT_TRUE(x_.Start({.arguments = {album + "/p0.jpg"}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect c = x_.Geometry(main), area{c.x + 200, c.y + 60, c.width - 200, c.height - 90};
  auto statusBar = [&] { return ShareNow({c.x + 2, c.bottom() - 18, 60, 16}, "rgb(212,208,200)") > 0.5; };
  auto showing = [&](int n) { return RealWindow::WaitUntil([&] { return ShareNow(area, Colour(n)) > 0.01; }); };
  auto ls = [](const std::string& folder) { return testsupport::Run({"ls", folder}).out; };
  // The focused tree's menu item `down` steps below its first; a name typed with "-" and
  // "." from the keypad between its parts, and F7; Return, and the message of a refusal.
  auto name = [&](const std::string& down, const std::vector<std::string>& parts, bool refused) {
    const size_t windows = x_.Windows().size();
    ASSERT_TRUE(OpensByKeys("Menu")) << "no menu\n" << x_.Describe();
    x_.Key(down + " Return");
    ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() == windows; })) << x_.Describe();
    x_.Key("ctrl+a");
    for (size_t i = 0; i < parts.size(); ++i) {
      x_.Type(parts[i]);
      if (i < 2) x_.Key(i == 0 ? "KP_Subtract" : "KP_Decimal F7");
    }
    EXPECT_TRUE(statusBar()) << "F7 reached the window";
    if (refused) {
      const unsigned long message = OpensByKeys("Return");
      ASSERT_TRUE(message && x_.HasState(message, "_NET_WM_STATE_MODAL")) << "no message\n" << x_.Describe();
    }
    x_.Key("Return");
  };
  ASSERT_TRUE(showing(0) && statusBar()) << x_.Describe();
  ASSERT_TRUE(x_.Activate(main));
  x_.MoveMouse(800, 8);
  ASSERT_TRUE(x_.Screenshot(before));

  // The listed folder, "Rename folder": refused, while the picture keeps its size.
  name("Down Down", {"a+b=c", "d", "e,f g"}, true);
  EXPECT_TRUE(x_.Screenshot(shot_) && Same(before, shot_, area)) << "the picture changed";
  EXPECT_EQ(ls(album + "/.."), "album\n");
  // "New folder", named in place.
  name("Down", {"2024", "05-10 St", " Louis"}, false);
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ls(album) == "2024-05-10 St. Louis\np0.jpg\np1.jpg\n"; }))
      << ls(album);
  x_.Key("F7");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !statusBar(); }, 3000)) << "F7 does not reach the window";
  x_.Key("F7");

  // Paperclip > "Paperclip and shows" (the fifth item); the show below the paperclip and
  // the Shows node, and its menu's "Rename": with a comma refused, without it renamed.
  ASSERT_TRUE(OpensByKeys("alt+c")) << "no menu\n" << x_.Describe();
  x_.Key("Down Down Down Down Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(area, Colour(0)) == 0; })) << x_.Describe();
  x_.Key("Down Down");
  ASSERT_TRUE(showing(0) && x_.Activate(main));
  name("Down Down", {"Best", "of Amsterdam, day 2", "shw"}, true);
  name("Down Down", {"Best", "of Amsterdam - day 2", "shw"}, false);
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ls(shows) == "Best-of Amsterdam - day 2.shw\n"; })) << ls(shows);
  ASSERT_TRUE(x_.Activate(main));
  x_.Key("period");
  EXPECT_TRUE(showing(1)) << "\".\" does not reach the window";
}

// File > Get image with a search for the scanners that takes seconds (a network scanner that
// does not answer): meanwhile the window is drawn again where the menu was and a notice says
// that the program looks; a key given meanwhile is dropped, and the list of scanners comes up
// when the search ends. Delete and Esc during a search: Esc stops waiting - no list, no
// question, the picture stays - and the window takes keys at once. Closed during a search,
// the program ends when the search is done.
TEST_F(RealWindowTest, GetImageLooksForScannersWhileTheWindowIsDrawnAndSaysSo) {
  const std::string album = testsupport::TempPath("album");
  ASSERT_TRUE(x_.Start({.arguments = {Pictures(album, 2)},
                        .environment = {"KIVO2_SANE_LIBRARY=" KIVO2_FAKE_SANE, "FAKE_SANE_SEARCH_MS=6000"}}))
      << x_.Error();
  const unsigned long main = x_.MainWindow();
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(screen_, Colour(0)) > 0.01; })) << x_.Describe();
  ASSERT_TRUE(x_.Activate(main));
  const size_t windows = x_.Windows().size();
  // The window at rest (two screenshots alike), then where its menu lies over it.
  const std::string before = testsupport::TempPath("before.png");
  ASSERT_TRUE(RealWindow::WaitUntil(
      [&] { return x_.Screenshot(shot_) && x_.Screenshot(before) && Same(shot_, before, screen_); }, 20000));
  const unsigned long menu = OpensByKeys("alt+f");
  ASSERT_TRUE(menu) << x_.Describe();
  // The menu as drawn (two screenshots alike) with "Get image (Twain) - scanner, webcam etc."
  // chosen; right of the folder tree (which may scroll by itself) it lies over the window.
  const XRect m = x_.Geometry(menu), right{200, m.y, m.right() - 200, m.height};
  const std::string opened = testsupport::TempPath("opened.png"), drawn = testsupport::TempPath("drawn.png");
  auto settled = [&](const std::string& shot) {
    return RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && x_.Screenshot(shot) && Same(shot_, shot, m); });
  };
  ASSERT_TRUE(settled(opened));
  x_.Key("Up Up Up Up");
  ASSERT_TRUE(settled(drawn) && !Same(opened, drawn, m));
  x_.Key("Return");
  const unsigned long notice = x_.WaitForWindow("TwainSearchForm", 4000);
  ASSERT_TRUE(notice) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil(
      [&] { return x_.Screenshot(shot_) && !Same(drawn, shot_, m) && Same(before, shot_, right); }, 5000))
      << "the menu stays drawn";
  x_.Key("period");
  EXPECT_TRUE(x_.Viewable(notice)) << "the search ended before it was seen";
  const unsigned long select = x_.WaitForWindow("TwainSelectDialog", 20000);
  ASSERT_TRUE(select) << x_.Describe();
  EXPECT_FALSE(x_.Viewable(notice));
  x_.Key("Escape");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(select); })) << x_.Describe();
  EXPECT_FALSE(RealWindow::WaitUntil([&] { return ShareNow(screen_, Colour(1)) > 0.01; }, 1500))
      << "the key given during the search acted";

  ASSERT_TRUE(x_.Activate(main));
  ASSERT_TRUE(OpensByKeys("alt+f")) << x_.Describe();
  x_.Key("Up Up Up Up Return");
  const auto searching = std::chrono::steady_clock::now();
  ASSERT_TRUE(x_.WaitForWindow("TwainSearchForm", 4000)) << x_.Describe();
  x_.Key("Delete");
  x_.Key("Escape");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("TwainSearchForm"); }, 2000))
      << "Esc does not stop waiting";
  x_.Key("period");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(screen_, Colour(1)) > 0.01; })) << "the window takes no keys";
  // Past the end of the search: neither the list of scanners nor a question came up.
  std::this_thread::sleep_until(searching + std::chrono::seconds(8));
  EXPECT_EQ(x_.Windows().size(), windows) << x_.Describe();
  EXPECT_TRUE(fs::exists(album + "/p0.jpg"));

  ASSERT_TRUE(x_.Activate(main));
  ASSERT_TRUE(OpensByKeys("alt+f")) << x_.Describe();
  x_.Key("Up Up Up Up Return");
  ASSERT_TRUE(x_.WaitForWindow("TwainSearchForm", 4000)) << x_.Describe();
  CloseBox(main);
  EXPECT_EQ(x_.Close(30000), 0) << x_.Log();
}

// The folder tree keeps its rows where the user has them: a folder made by another program
// goes into the open branches (none closes) with the row under the pointer in its place;
// nothing moves while a button is held on a row; Right on a folder without sub folders
// leaves the view. The wheel over the thumbnails scrolls them; Ctrl+\ shows "Locked"; Ctrl+N
// names the folder it lists in the title, and that empty folder's list has no menu; the
// search window's folder drop-down takes the folder under a resting pointer, and a click
// beside it, where nothing takes the focus, closes it.
TEST_F(RealWindowTest, TheFolderTreeKeepsItsRowsAndTheWindowFollowsThePointer) {
  const std::string home = getenv("HOME"), root = home + "/tree";
  for (int i = 10; i < 40; ++i) fs::create_directories(root + "/f" + std::to_string(i));
  fs::create_directories(root + "/f0" + std::string(50, 'w'));  // wider than the tree
  ASSERT_EQ(testsupport::Run({"convert", "-size", "32x24", "xc:red", "-duplicate", "59", "+adjoin",
                              root + "/f15/t%02d.jpg"}).exitCode, 0);
  ASSERT_TRUE(x_.Start({.registryValues = {"\"LastPath\"=\"" + root + "/f15/\"", "\"NavigatorHeight\"=dword:00000258",
                                           "\"Thumbs\"=dword:00000001", "\"Thumbs pos\"=dword:00000002"}}))
      << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect c = x_.Geometry(main), tree{c.x + 2, c.y + 70, 165, 555}, place{c.x + 2, c.bottom() - 18, 60, 16};
  const XRect thumbs{c.right() - 140, c.y + 45, 110, 880}, row{tree.x, tree.bottom() - 12, tree.width, 12};
  ASSERT_TRUE(x_.Activate(main) && Steady(tree));
  x_.Key("Right Right Right");
  EXPECT_FALSE(Changes(tree, 1500)) << "Right scrolls the tree";
  x_.MoveMouse(thumbs.x + 50, thumbs.y + 400);
  ASSERT_TRUE(Steady(thumbs));
  x_.Tool({"xdotool", "click", "--repeat", "3", "5"});
  EXPECT_TRUE(Changes(thumbs, 5000)) << "the wheel does not scroll the thumbnails";
  ASSERT_TRUE(Steady(place));
  x_.Key("ctrl+backslash");
  EXPECT_TRUE(Changes(place, 3000) &&
              !RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && Same(before_, shot_, place); }, 1500))
      << "no \"Locked\"";
  x_.Key("ctrl+n");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Title(main).find("- f16") != std::string::npos; }, 5000))
      << x_.Title(main);
  // f16 is empty: the file list's menu does not come up.
  const size_t windows = x_.Windows().size();
  x_.Click(c.x + 30, c.bottom() - 60, 3);
  EXPECT_FALSE(RealWindow::WaitUntil([&] { return x_.Windows().size() > windows; }, 2000)) << "a menu on an empty list";
  // The root drive's branch opened by its button; the pointer near the tree's bottom edge.
  x_.Click(c.x + 30, c.y + 96);
  x_.MoveMouse(tree.x + 60, row.y + 6);
  ASSERT_TRUE(Steady(tree));
  ASSERT_EQ(testsupport::Run({"mkdir", home + "/0new"}).exitCode, 0);
  EXPECT_FALSE(Changes(row, 2000)) << "the row under the pointer moved";
  x_.Tool({"xdotool", "mousedown", "1"});
  x_.MoveMouse(tree.x + 61, row.y + 7);
  ASSERT_TRUE(Steady(tree));
  ASSERT_EQ(testsupport::Run({"mkdir", home + "/1new"}).exitCode, 0);
  EXPECT_FALSE(Changes(tree, 2000)) << "rows move while the button is held";
  x_.Tool({"xdotool", "mouseup", "1"});

  ASSERT_TRUE(x_.Activate(main));
  x_.Key("ctrl+f");
  const unsigned long search = x_.WaitForWindow("SearchForm");
  ASSERT_TRUE(search) << x_.Describe();
  const XRect s = x_.Geometry(search), path{s.x + 10, s.y + 118, 100, 16};
  // The drop-down's rows: the computer, the root drive, the home drive, its first folder.
  auto rowY = [&](int n) { return s.y + 137 + 9 + n * 18; };
  ASSERT_TRUE(Opens([&] { x_.Click(s.x + 256, s.y + 126); })) << x_.Describe();
  const size_t open = x_.Windows().size();
  x_.Click(s.x + 191, rowY(2));
  x_.MoveMouse(s.x + 249, rowY(3));
  ASSERT_TRUE(Steady(path));
  x_.Click(s.x + 249, rowY(3));
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() < open; }) && Changes(path, 3000))
      << "the folder under the pointer is not chosen";
  ASSERT_TRUE(Opens([&] { x_.Click(s.x + 256, s.y + 126); }) && Steady(path)) << x_.Describe();
  x_.Click(s.x + 59, s.y + 242);
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() < open; })) << "the drop-down stays";
}

// A deep listed folder whose name is wider than the tree: at the start the tree shows the
// start of the name highlighted, scrolled sideways at once, and then nothing but the user
// scrolls it sideways (the Exif window, F5, the compression center). A folder made in the
// listed folder by another program gives its row an expand button, which Right opens, and
// removed takes it away. F2 opens the name editor inside the tree, wide enough for the
// name typed, which is the name the folder takes. The first start of a newer build (whose
// question halves the tree) shows the listed folder, deep in a long tree, highlighted
// among the tree's rows.
TEST_F(RealWindowTest, TheFolderTreeShowsTheNameOfTheFolderItOpensAndFollowsTheDisk) {
  const std::string pics = std::string(getenv("HOME")) + "/pics", blue = "rgb(48,140,198)";
  const std::string rome = pics + "/Family photos/2004 Italy/Rome", listed = rome + "/Day 3 at the Colosseum in the afternoon sun";
  Pictures(listed, 1);
  ASSERT_TRUE(x_.Start({.registryValues = {"\"LastPath\"=\"" + listed + "/\"", "\"NavigatorHeight\"=dword:00000258",
                                           "\"Thumbs pos\"=dword:00000002"}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect c = x_.Geometry(main), tree{c.x + 2, c.y + 70, 150, 555};
  // The box, in the tree's coordinates, of the pixels of a part of the screenshot in shot_
  // that `pick` leaves white.
  auto box = [&](const XRect& part, const std::vector<std::string>& pick) {
    XRect b;
    std::vector<std::string> argv{"convert", shot_ + "[" + Text(part) + "]", "+repage"};
    argv.insert(argv.end(), pick.begin(), pick.end());
    argv.insert(argv.end(), {"-format", "%@", "info:"});
    sscanf(testsupport::Run(argv).out.c_str(), "%dx%d+%d+%d", &b.width, &b.height, &b.x, &b.y);
    return XRect{part.x - tree.x + b.x, part.y - tree.y + b.y, b.width, b.height};
  };
  // The highlighted folder's icon and name as shown in a part of the screen from the tree's
  // corner: the light pixels in the highlighted row (the highlight's colour where it fills
  // squares of 3 x 3: folder icons hold some), and the row.
  auto shownIn = [&](const XRect& part, XRect& row) {
    if (!x_.Screenshot(shot_)) return XRect{};
    row = box(part, {"-fuzz", "5%", "-fill", "black", "+opaque", blue, "-fill", "white", "-opaque", blue, "-morphology",
                     "Erode", "Square:1", "-morphology", "Dilate", "Square:1"});
    if (row.width <= 0) return row;
    return box({tree.x + row.x, tree.y + row.y, row.width, row.height}, {"-colorspace", "gray", "-threshold", "70%"});
  };
  auto shownName = [&] {
    XRect row;
    return shownIn(tree, row);
  };
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(tree, blue) > 0.01; }) && Steady(tree));
  // The name from its start to the tree's edge.
  const XRect name = shownName();
  EXPECT_TRUE(name.x < 60 && name.right() > tree.width - 15 && name.height < 30) << Text(name) << " in " << Text(tree);
  for (const char* step : {"mkdir", "rmdir", "mkdir", "Right", "rmdir"}) {
    if (step == std::string("Right"))
      x_.Key(step);
    else
      ASSERT_EQ(testsupport::Run({step, listed + "/sub"}).exitCode, 0);
    EXPECT_TRUE(Changes(tree, 2000) && Steady(tree)) << step << ": the expand button does not follow";
  }
  // F2: the editor (what changes in the tree) from the name's start to the tree's edge.
  const std::string highlighted = testsupport::TempPath("highlighted.png");
  ASSERT_TRUE(Steady(tree) && fs::copy_file(before_, highlighted));
  x_.Key("F2");
  ASSERT_TRUE(Changes(tree, 3000) && Steady(tree)) << "no editor";
  const XRect editor = box(tree, {highlighted + "[" + Text(tree) + "]", "+repage", "-compose", "difference", "-composite",
                                   "-colorspace", "gray", "-threshold", "10%"});
  EXPECT_TRUE(editor.x < 60 && editor.width > tree.width - 70 && editor.height < 30) << Text(editor);
  x_.Key("ctrl+a");
  x_.Type("Day 3 in the Forum");
  ASSERT_TRUE(OpensByKeys("Return")) << "no question\n" << x_.Describe();
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return testsupport::Run({"ls", rome}).out == "Day 3 in the Forum\n"; }))
      << testsupport::Run({"ls", rome}).out;
  ASSERT_TRUE(Steady(tree));
  const XRect renamed = shownName();
  ASSERT_TRUE(renamed.width > 0) << "the renamed folder is not highlighted";
  unsigned long save = 0;
  for (const auto& [keys, role] : {std::pair{"ctrl+i", "ExifInfoForm"}, {"F5", ""}, {"ctrl+e", "FormSaveImage"}}) {
    if (*role) EXPECT_TRUE(save = KeysOpen(main, keys, role)) << keys;
    else if (x_.Activate(main)) x_.Key(keys);
    EXPECT_FALSE(RealWindow::WaitUntil([&] { return shownName().x != renamed.x; }, 2000))
        << "scrolled sideways by " << keys << ": " << Text(shownName()) << ", not " << Text(renamed);
  }
  CloseBox(save);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("FormSaveImage"); }));
  ASSERT_EQ(x_.Close(), 0) << x_.Log();
  for (int i = 10; i < 70; ++i) fs::create_directories(pics + "/Album " + std::to_string(i));
  std::string settings = testsupport::ReadFile(RealWindow::RegistryFile());
  settings.replace(settings.find("\"Version\"=dword:") + 16, 8, "00000001");
  testsupport::WriteFile(RealWindow::RegistryFile(), settings);
  ASSERT_TRUE(x_.Start({.keepSettings = true})) << x_.Error();
  ASSERT_TRUE(RealWindow::WaitUntil([&] {
    for (unsigned long w : x_.Windows())
      if (x_.Title(w).rfind("Information", 0) == 0) return true;
    return false;
  })) << "no question of a newer build: " << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow({tree.x, tree.y, tree.width, c.height / 2 - 70}, blue) > 0.02; }))
      << "the listed folder lies out of view";
  x_.Key("Escape");
  // A deep folder restored at the start whose name fits the tree shows whole once the
  // tree has its size (a smaller one, whose scroll bar that comes narrows it): a click on
  // the tree's right scroll arrow shows no more of it.
  ASSERT_EQ(x_.Close(), 0) << x_.Log();
  const std::string holiday = std::string(getenv("HOME")) + "/trips/alpha/beta/gamma/delta/holiday";
  const XRect small{tree.x, tree.y, 185, 150};
  Pictures(holiday, 1);
  ASSERT_TRUE(x_.Start({.registryValues = {"\"LastPath\"=\"" + holiday + "/\""}})) << x_.Error();
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(small, blue) > 0.01; }) && Steady(small));
  XRect row;
  const XRect shown = shownIn(small, row);
  x_.Click(c.x + 162, c.y + 225);
  ASSERT_TRUE(Changes(small, 3000) && Steady(small)) << "the tree did not scroll";
  EXPECT_EQ(shownIn(small, row).width, shown.width) << "cut at the start: " << Text(shown);
}

// The listed folder renamed by another program: the window (its title, its picture, the
// tree's highlight) goes to the folder above it; Down lists the folder renamed back.
TEST_F(RealWindowTest, AListedFolderRenamedElsewhereGivesWayToTheFolderAbove) {
  const std::string pics = std::string(getenv("HOME")) + "/pics", listed = pics + "/case", before = shot_ + ".png";
  ASSERT_TRUE(x_.Start({.arguments = {Pictures(listed, 1)}})) << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect c = x_.Geometry(main), tree{c.x + 2, c.y + 70, 150, 140};
  auto at = [&](const std::string& name, bool picture) {  // its path or name ends the title
    return RealWindow::WaitUntil([&] {
      const std::string title = x_.Property(main, "WM_NAME");
      return (title.ends_with("/" + name + "/\"") || title.ends_with(" - " + name + "\"")) &&
             (ShareNow(screen_, Colour(0)) > 0.01) == picture;
    });
  };
  ASSERT_TRUE(at("case", true)) << x_.Property(main, "WM_NAME");
  ASSERT_EQ(::rename(listed.c_str(), (pics + "/case_ext").c_str()), 0);
  EXPECT_TRUE(at("pics", false) && Share(shot_, tree, "rgb(48,140,198)") > 0) << x_.Property(main, "WM_NAME");
  // Once the tree is painted (two screenshots agree), the name renamed back shows in it.
  ASSERT_TRUE(RealWindow::WaitUntil([&] {
    const bool same = fs::exists(before) && x_.Screenshot(shot_) && Same(before, shot_, tree);
    return fs::copy_file(shot_, before, fs::copy_options::overwrite_existing) && same;
  }));
  ASSERT_EQ(::rename((pics + "/case_ext").c_str(), listed.c_str()), 0);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && !Same(before, shot_, tree); }));
  ASSERT_TRUE(x_.Activate(main));
  x_.Key("Down");
  EXPECT_TRUE(at("case", true)) << x_.Property(main, "WM_NAME");
  // A folder's name typed in the tree, at 40 and at 300 ms a key (xdotool's delay is twice
  // that), lands on that folder, whose picture then shows; Left goes back to the folder above.
  ASSERT_TRUE(Steady(tree));
  for (const char* name : {"2026-06-14", "2026-06-15", "2026-07-01"}) Pictures(pics + "/2026/" + name, 1);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "6000x4000", "xc:" + Colour(0), pics + "/2026/2026-06-14/a.png"}).exitCode, 0);
  ASSERT_TRUE(Changes(tree, 3000) && Steady(tree)) << "no 2026 in the tree";
  x_.Key("Up");
  ASSERT_TRUE(at("2026", false)) << x_.Property(main, "WM_NAME");
  x_.Key("Right");
  for (const char* delay : {"80", "600"}) {
    x_.Tool({"xdotool", "type", "--delay", delay, "2026-07"});
    EXPECT_TRUE(at("2026-07-01", true)) << delay << " ms a key: " << x_.Property(main, "WM_NAME");
    x_.Key("Left");
    ASSERT_TRUE(at("2026", false)) << x_.Property(main, "WM_NAME");
  }
  // Typed, then at once Down, a click on a row or on a listed picture: the typed folder is never read.
  Pictures(pics + "/2026", 2);
  pollfd watch{inotify_init1(IN_CLOEXEC | IN_NONBLOCK), POLLIN, 0};
  ASSERT_GE(inotify_add_watch(watch.fd, (pics + "/2026/2026-06-14/a.png").c_str(), IN_OPEN), 0) << strerror(errno);
  const XRect year = BoxNow({tree.x + 120, tree.y, 30, tree.height - 20}, {"rgb(48,140,198)"});
  const std::string typed = "xdotool type --delay 80 --args 1 2026-06-14 ";
  x_.Tool({"sh", "-c", typed + "key Down"});
  EXPECT_TRUE(at("2026-06-15", true) && poll(&watch, 1, 0) == 0) << x_.Property(main, "WM_NAME");
  x_.Tool({"sh", "-c", typed + "mousemove " + std::to_string(year.x) + " " + std::to_string(year.y + 5) + " click 1"});
  EXPECT_TRUE(at("2026", true) && poll(&watch, 1, 0) == 0) << x_.Property(main, "WM_NAME");
  x_.Tool({"sh", "-c", typed + "mousemove 20 332 click 1"});
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(screen_, Colour(1)) > 0.01; }) && at("2026", false) &&
              poll(&watch, 1, 0) == 0) << x_.Property(main, "WM_NAME");
  close(watch.fd);
}

// The card import window opens again where it opened first, inside the work area and moved
// by its title bar, also after a copy closed it (its questions blocked the window meanwhile:
// in Dutch, over a main window of 1000 x 700, whose tool bar runs on in a second row). Each
// opening shows the first file's thumbnail with its name under it.
TEST_F(RealWindowTest, TheImportWindowOpensAgainWhereItWasAfterACopy) {
  const std::string album = testsupport::TempPath("album"), card = testsupport::TempPath("card");
  Pictures(card, 3);
  for (const char* n : {"0", "1", "2"}) fs::rename(card + "/p" + n + ".jpg", card + "/c" + n + ".jpg");
  ASSERT_TRUE(x_.Start({.panelHeight = 40, .arguments = {Pictures(album, 1)}, .language = "nl",
                        .registryValues = {"\"CardFolder\"=\"" + card + "\"", "\"WinStatusMain\"=dword:00000001",
                                           "\"WinStatusLeft\"=dword:00000064", "\"WinStatusTop\"=dword:00000050",
                                           "\"WinStatusWidth\"=dword:000003e8", "\"WinStatusHeight\"=dword:000002bc"}}))
      << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect area = x_.WorkArea();
  XRect first, now;
  // File > "Import from memorycard or folder", fifth from the end; framed, it lies in the work area.
  auto open = [&] {
    unsigned long import = 0;
    if (KeysOpen(main, "alt+b")) x_.Key("Up Up Up Up Up Return");
    EXPECT_TRUE((import = x_.WaitForWindow("FormGetcard")) && RealWindow::WaitUntil([&] {
      now = Outer(x_, import);
      return x_.Frame(import).top > 0 && area.contains(now) && (!first.width || Text(now) == Text(first));
    })) << Text(first) << "\n" << x_.Describe();
    const XRect g = x_.Geometry(import), thumb{g.right() - 116, g.y + 118, 89, 89}, name{thumb.x, g.y + 208, 108, 22};
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(thumb, Colour(0)) > 0.5 && ShareNow(name) > 0.02; }))
        << "thumbnail " << Share(shot_, thumb, Colour(0)) << ", name " << Share(shot_, name);
    return import;
  };
  unsigned long import = open();
  ASSERT_TRUE(import);
  first = now;
  // "Start copy" and Yes: the pictures are copied and the window closes.
  const XRect g = x_.Geometry(import);
  testsupport::WriteFile(album + "/c0.jpg", "older");
  const XRect m = x_.Geometry(main), bar{Outer(x_, import).right(), m.y, m.right() - Outer(x_, import).right(), 80};
  ASSERT_TRUE(Steady(bar));
  const std::string idle = testsupport::TempPath("idle.png");
  fs::copy_file(before_, idle);
  const unsigned long question = Opens([&] { x_.Click(g.x + 430, g.y + 449); });
  ASSERT_TRUE(question && RealWindow::WaitUntil([&] { return x_.ActiveWindow() == question; })) << x_.Describe();
  // The first file is there already: the question stands in front of the import window, and
  // that in front of the main window, whose tool bar keeps its buttons in their places (the
  // progress bar shows in the room they leave, no wider than itself).
  const unsigned long exists = Opens([&] { x_.Key("Return"); });
  ASSERT_TRUE(exists) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Above(exists, import) && x_.Above(import, main); }))
      << x_.Property(0, "_NET_CLIENT_LIST_STACKING") << "\n" << x_.Describe();
  ASSERT_TRUE(Steady(bar));
  const std::string changed =
      testsupport::Run({"convert", idle + "[" + Text(bar) + "]", before_ + "[" + Text(bar) + "]", "-compose",
                        "difference", "-composite", "-threshold", "0", "-format", "%@", "info:"}).out;
  int width = 0, height = 0;
  EXPECT_TRUE(sscanf(changed.c_str(), "%dx%d", &width, &height) == 2 && width <= 130 && height <= 30) << changed;
  x_.Key("Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(import); })) << x_.Describe();
  for (const std::string n : {"/c0.jpg", "/c2.jpg"})
    EXPECT_EQ(testsupport::Run({"cmp", card + n, album + n}).exitCode, 0) << n;
  ASSERT_TRUE(import = open());
  // Its title bar takes it 100 pixels right and 80 down.
  const int x0 = now.x + now.width / 2, y0 = now.y + x_.Frame(import).top / 2;
  std::vector<std::string> drag{"xdotool", "mousemove", std::to_string(x0), std::to_string(y0), "mousedown", "1"};
  for (const int step : {50, 100}) {
    const std::string x = std::to_string(x0 + step), y = std::to_string(y0 + step * 4 / 5);
    drag.insert(drag.end(), {"sleep", "0.3", "mousemove", x, y});
  }
  x_.Tool(drag);
  x_.Tool({"xdotool", "sleep", "0.3", "mouseup", "1"});
  const XRect moved{first.x + 100, first.y + 80, first.width, first.height};
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return Text(Outer(x_, import)) == Text(moved); }))
      << Text(first) << "\n" << x_.Describe();
}

// A message that lists more files than the screen holds (those a batch rename could not
// rename, as another program took them away meanwhile) lies inside the work area, and its
// button closes it.
TEST_F(RealWindowTest, AMessageListingManyFilesFitsTheScreen) {
  const std::string folder = testsupport::TempPath("photos") + "/", away = testsupport::TempPath("away") + "/";
  fs::create_directories(away);
  fs::create_directories(folder);
  auto name = [](int i) { return "f" + std::to_string(1000 + i) + ".jpg"; };
  for (int i = 0; i < 150; ++i) testsupport::WriteFile(folder + name(i), name(i));
  ASSERT_TRUE(x_.Start({.registryValues = {"\"LastPath\"=\"" + folder + "\""},
                        .environment = {std::string("LD_PRELOAD=") + KIVO2_SLOW_RENAME, "KIVO2_RENAME_DELAY_US=20000"}}))
      << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect area = x_.WorkArea();
  // The batch rename of every file, f by g.
  ASSERT_TRUE(x_.Activate(main));
  const XRect d = OpenBatchDialog(x_, "f", "g");
  ASSERT_GT(d.width, 0) << x_.Describe();
  const auto known = x_.Windows();
  x_.Click(d.x + 194, d.y + 178);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return fs::exists(folder + "g1000.jpg"); })) << x_.Describe();
  int taken = 0;
  for (int i = 1; i < 150; ++i) taken += ::rename((folder + name(i)).c_str(), (away + name(i)).c_str()) == 0;
  ASSERT_GT(taken, 100);
  const unsigned long message = NewWindow(known);
  ASSERT_TRUE(message && x_.Title(message).rfind("Kivo2", 0) == 0) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Frame(message).top > 0 && area.contains(Outer(x_, message)); }))
      << x_.Describe();
  // OK, in the middle of its bottom.
  const XRect m = x_.Geometry(message);
  x_.Click(m.x + m.width / 2, m.bottom() - 24);
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.Viewable(message); })) << x_.Describe();
}

// A settings file cut in half, and one filled with junk (its lost version brings the first
// start's question too): the start says so and keeps it beside; a value before the cut is
// used again, and no exit touches a kept file.
TEST_F(RealWindowTest, ADamagedSettingsFileIsSaidAndKeptBesideTheOneTheExitWrites) {
  const std::string file = RealWindow::RegistryFile();
  ASSERT_TRUE(x_.Start({.registryValues = {"\"SlideDelay\"=dword:00000007", "\"Thumbs\"=dword:00000001"}}));
  ASSERT_EQ(x_.Close(), 0) << x_.Log();
  const std::string whole = testsupport::ReadFile(file);
  const std::string damaged[] = {whole.substr(0, whole.size() / 2), std::string(2000, '\x9c') + "\r\njunk\r\n"};
  for (int n = 0; n < 2; ++n) {
    testsupport::WriteFile(file, damaged[n]);
    ASSERT_TRUE(x_.Start({.keepSettings = true})) << x_.Error();
    ASSERT_TRUE(Answer({x_.MainWindow()}) && (n == 0 || Answer({x_.MainWindow()}, "Escape"))) << x_.Describe();
    ASSERT_EQ(x_.Close(), 0) << x_.Log();
    EXPECT_EQ(Stored("SlideDelay"), n == 0 ? "dword:00000007" : "dword:00000002");
    EXPECT_EQ(testsupport::ReadFile(file + ".damaged"), damaged[0]);
  }
  EXPECT_EQ(testsupport::ReadFile(file + ".damaged-2"), damaged[1]);
}

// With the preview on (a large picture shows raw first), a short press on a show (a tap of
// 20 ms) lists it, and the next single click acts: on the Paperclip node it lists the
// paperclip; a click made while a slow show loads moves the highlight too, and a first right
// click on another show offers that show's commands. In the show's manual order window a drag that ends on the dragged entry's own
// row takes the drop target's thumbnail and its two lines of text along; a Shift-chosen block moves whole.
TEST_F(RealWindowTest, AShortPressOnAShowLeavesTheNextClickItsOwnAndAnEndedDragItsPreviewNot) {
  const std::string album = std::string(getenv("HOME")) + "/album";
  const std::string data = std::string(getenv("XDG_DATA_HOME")) + "/Kivo2/";
  fs::create_directories(album);
  fs::create_directories(data + "Shows");
  std::string lines;
  for (const int n : {0, 3}) {
    const std::string picture = album + "/p" + std::to_string(n) + ".jpg";
    ASSERT_EQ(testsupport::Run({"convert", "-size", "4000x3000", "xc:" + Colour(n), picture}).exitCode, 0);
    lines += picture + "\r\n";
  }
  testsupport::WriteFile(data + "paperclip.lst", lines);
  testsupport::WriteFile(data + "Shows/show.shw", lines + lines);
  // A show whose picture takes most of a second to load: a progressive JPEG of noise.
  ASSERT_EQ(testsupport::Run({"convert", "-size", "500x375", "xc:" + Colour(5), "-attenuate", "0.5", "+noise",
                              "Gaussian", "-write", "mpr:t", "+delete", "-size", "5000x3750", "tile:mpr:t",
                              "-interlace", "JPEG", album + "/slow.jpg"}).exitCode, 0);
  testsupport::WriteFile(data + "Shows/slow.shw", album + "/slow.jpg\r\n");
  ASSERT_TRUE(x_.Start({.arguments = {album + "/p0.jpg"},
                        .registryValues = {"\"Preview\"=dword:00000001", "\"Smooth Stretch\"=dword:00000001"}}))
      << x_.Error();
  const unsigned long main = x_.MainWindow();
  const XRect c = x_.Geometry(main);
  auto titled = [&](const std::string& part, int ms) {
    return RealWindow::WaitUntil([&] { return x_.Title(main).find(part) != std::string::npos; }, ms);
  };
  // Paperclip > "Paperclip and shows" (the fifth item): the Paperclip node, Shows, the show.
  ASSERT_TRUE(OpensByKeys("alt+c")) << "no menu\n" << x_.Describe();
  x_.Key("Down Down Down Down Return");
  ASSERT_TRUE(titled("PaperClip", 10000)) << x_.Describe();
  const std::string showX = std::to_string(c.x + 85), showY = std::to_string(c.y + 113);
  for (int tap = 0; tap < 3; ++tap) {
    SCOPED_TRACE(tap);
    x_.Tool({"xdotool", "mousemove", showX, showY, "mousedown", "1", "sleep", "0.02", "mouseup", "1"});
    ASSERT_TRUE(titled("show.shw", 10000) && RealWindow::WaitUntil([&] { return ShareNow(c, Colour(0)) > 0.01; }))
        << x_.Describe();
    x_.Click(c.x + 70, c.y + 77);
    const bool acted = titled("PaperClip", 5000);
    EXPECT_TRUE(acted) << "the click was lost: " << x_.Title(main);
    if (!acted) x_.Click(c.x + 70, c.y + 77);
  }
  // A click within the slow show's load takes the title, the list and the highlight (its
  // colour read off the Paperclip row now), on whichever node it lands.
  const int paperclipRow = c.y + 77, showRow = c.y + 113, slowRow = c.y + 131;
  ASSERT_TRUE(x_.Screenshot(shot_));
  const std::string at = std::to_string(c.x + 150) + "," + std::to_string(paperclipRow);
  const std::string highlight = testsupport::Run({"convert", shot_, "-format", "%[pixel:p{" + at + "}]", "info:"}).out;
  auto highlighted = [&](int row) { return Share(shot_, {c.x + 135, row - 4, 30, 8}, highlight, 10) > 0.5; };
  for (const auto& [row, title] :
       {std::pair{paperclipRow, "PaperClip"}, {showRow, "show.shw"}, {paperclipRow, "PaperClip"}}) {
    x_.Tool({"xdotool", "mousemove", showX, std::to_string(slowRow), "mousedown", "1", "sleep", "0.02", "mouseup",
             "1", "sleep", "0.3", "mousemove", showX, std::to_string(row), "click", "1"});
    EXPECT_TRUE(titled(title, 10000) && RealWindow::WaitUntil([&] { return ShareNow(c, Colour(0)) > 0.01; }));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(x_.Screenshot(shot_) && highlighted(row) && !highlighted(slowRow) && titled(title, 0)) << title;
  }
  // The first right click on a show not current: "Paste paperclip in show", "Edit show
  // order...", "Rename" and "Delete show" are dark, the copy's and the show folder's grey.
  const unsigned long menu = Opens([&] { x_.Click(c.x + 85, showRow, 3); });
  ASSERT_TRUE(menu) << x_.Describe();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const XRect m = x_.Geometry(menu);
  ASSERT_TRUE(x_.Screenshot(shot_));
  for (const auto& [middle, on] :
       {std::pair{54, false}, {76, true}, {100, true}, {122, true}, {166, true}, {188, false}})
    EXPECT_EQ(Share(shot_, {m.x + 20, m.y + middle - 6, 160, 12}) > 0.02, on) << middle << " pixels down the menu";
  x_.Key("Escape");
  // A double click on the show opens its manual order window.
  x_.Tool({"xdotool", "mousemove", showX, showY, "click", "--repeat", "2", "--delay", "80", "1"});
  const unsigned long order = x_.WaitForWindow("DragForm");
  ASSERT_TRUE(order) << x_.Describe();
  // The drop target's place below the entry's thumbnail, and the rows of the list.
  const XRect g = x_.Geometry(order), preview{g.x + 8, g.y + 248, 210, 188};
  const std::string x = std::to_string(g.x + 300), first = std::to_string(g.y + 7), second = std::to_string(g.y + 20);
  x_.Tool({"xdotool", "mousemove", x, first, "sleep", "0.3", "mousedown", "1", "sleep", "0.2", "mousemove", x,
           std::to_string(g.y + 13), "sleep", "0.2", "mousemove", x, second});
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return ShareNow(preview, Colour(3)) > 0.2 && Share(shot_, preview) > 0; }))
      << "no drop preview";
  x_.Tool({"xdotool", "mousemove", x, first, "sleep", "0.3", "mouseup", "1"});
  EXPECT_TRUE(RealWindow::WaitUntil([&] {
    return ShareNow(preview) == 0 && Share(shot_, preview, Colour(0), 10) == 0 &&
           Share(shot_, preview, Colour(3), 10) == 0;
  })) << "the drop preview stays";
  // Rows 1 to 3 (Shift alone, Shift+click) dragged by row 2 onto row 4 go below it (p3 p0 p3 p0), as Yes saves.
  const std::string third = std::to_string(g.y + 33), fourth = std::to_string(g.y + 46);
  x_.Tool({"xdotool", "mousemove", x, first, "click", "1", "key", "shift", "keydown", "shift", "mousemove", x, third,
           "click", "1", "keyup", "shift", "mousemove", x, second, "sleep", "0.3", "mousedown", "1", "sleep", "0.2",
           "mousemove", x, third, "sleep", "0.2", "mousemove", x, fourth, "sleep", "0.3", "mouseup", "1"});
  ASSERT_TRUE(Opens([&] { x_.Click(g.x + 35, g.bottom() - 16); })) << x_.Describe();
  x_.Key("Return");
  const std::string p0 = album + "/p0.jpg\r\n", p3 = album + "/p3.jpg\r\n", show = data + "Shows/show.shw";
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return testsupport::ReadFile(show) == p3 + p0 + p3 + p0; }));
}

// A stand-alone copy killed in the help, onto a stick that holds the program already:
// started from the stick it says that files are missing and keeps off the host's home, and
// the hidden work file the kill left in the help goes once that folder is listed.
TEST_F(RealWindowTest, AStandAloneCopyCutShortSaysSoAndLeavesNoWorkFile) {
  if (DriveKind("/dev/shm") != 5) GTEST_SKIP() << "no RAM disk at /dev/shm";
  const std::string stick = "/dev/shm/kivo2-stick-" + std::to_string(getpid()), target = stick + "/KIVO2_USB";
  const std::string help = target + "/help/en", host = testsupport::TempPath("host");  // the host's home
  fs::create_directories(target);
  fs::copy_file(testsupport::ProgramDir() + "/kivo2", target + "/kivo2");
  auto leftover = [&] { return testsupport::Run({"sh", "-c", "ls -A \"$0\" | grep -q kivo2copy", help}).exitCode == 0; };
  ASSERT_TRUE(x_.Start({.registryValues = {"\"LastPath\"=\"" + stick + "\""},
                        .environment = {std::string("LD_PRELOAD=") + KIVO2_SLOW_RENAME, "KIVO2_RENAME_DELAY_US=200000"}}))
      << x_.Error();
  // File > "Create Stand Alone Kivo2 (USB)", second from the end; Yes, and Yes to the folder that is not empty.
  ASSERT_TRUE(KeysOpen(x_.MainWindow(), "alt+f"));
  x_.Key("Up Up Return");
  ASSERT_TRUE(Answer({x_.MainWindow()}) && Answer({x_.MainWindow()})) << x_.Describe();
  ASSERT_TRUE(RealWindow::WaitUntil(leftover, 30000));
  x_.Kill();
  ASSERT_TRUE(leftover());
  const std::string version = std::to_string(std::stoul(Stored("Version").substr(6), nullptr, 16));
  testsupport::WriteFile(target + "/Kivo2_usb.ini", "[U3]\r\nLastPath=" + help + "\r\nVersion=" + version + "\r\n");
  setenv("KIVO2_PROGRAM_DIR", target.c_str(), 1);
  const bool started =
      x_.Start({.environment = {"HOME=" + host, "XDG_CONFIG_HOME=" + host, "XDG_DATA_HOME=" + host, "XDG_CACHE_HOME=" + host}});
  unsetenv("KIVO2_PROGRAM_DIR");
  ASSERT_TRUE(started) << x_.Error();
  EXPECT_TRUE(Answer({x_.MainWindow()})) << "no word of the missing files\n" << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !leftover(); }));
  EXPECT_EQ(x_.Close(), 0);
  EXPECT_FALSE(fs::exists(host));
  fs::remove_all(stick);
}

// Copy and compress complete tree into a folder of a read-only drive: one message, with the
// system's reason, and the run ends there.
TEST_F(RealWindowTest, ATreeCopyIntoAReadOnlyDriveStopsWithOneMessage) {
  const std::string trip = testsupport::TempPath("photos/Trip"), ro = testsupport::TempPath("ro");
  Pictures(trip, 3);
  testsupport::ScratchMount mount(ro, 0, trip);
  if (!mount.Mounted()) GTEST_SKIP() << "no read-only mount";
  ASSERT_TRUE(x_.Start({.registryValues = {"\"LastPath\"=\"" + trip + "\"", "\"WebFolder\"=\"" + ro + "\""}}))
      << x_.Error();
  ASSERT_TRUE(KeysOpen(x_.MainWindow(), "alt+f"));
  x_.Key("Down Down Down Down Return");  // File > "Copy and compress complete tree"
  ASSERT_TRUE(Answer({x_.MainWindow()})) << x_.Describe();
  const unsigned long window = x_.WaitForWindow("FormSaveImage"), chooser = KeysOpen(window, "alt+s", "SaveToFolderForm");
  ASSERT_TRUE(window && chooser) << x_.Describe();
  x_.Key("alt+s");  // the folder chosen; Yes to "Save 3 files to", and the message
  const std::vector<unsigned long> known{x_.MainWindow(), window, chooser};
  ASSERT_TRUE(Answer(known) && Answer(known)) << x_.Describe();
  EXPECT_FALSE(Answer(known)) << "a message after the first\n" << x_.Describe();
}
