#pragma once
// The frame of the cases that run the real program under a real window manager: the
// program on its own X server (RealWindow), screenshots read with ImageMagick, and the
// small steps such cases share (waiting for a new window, keys that open a menu, a region
// that holds still or changes).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "RealWindow.h"
#include "TestSupport.h"

namespace realwindow {

using testsupport::RealWindow;
namespace fs = std::filesystem;
using testsupport::XRect;

inline std::string Text(const XRect& r) {
  return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) + "+" + std::to_string(r.y);
}

// The window with its frame, as the window manager placed it.
inline XRect Outer(const RealWindow& x, unsigned long window) {
  const XRect g = x.Geometry(window);
  const auto f = x.Frame(window);
  return {g.x - f.left, g.y - f.top, g.width + f.left + f.right, g.height + f.top + f.bottom};
}

// The share of the pixels in a rectangle of a screenshot that are darker than half grey
// (text, arrows), or that have the colour given.
inline double Share(const std::string& shot, const XRect& r, const std::string& colour = std::string(), int fuzz = 5) {
  std::vector<std::string> argv{"convert", shot + "[" + Text(r) + "]"};
  if (colour.empty())
    argv.insert(argv.end(), {"-colorspace", "gray", "-negate", "-threshold", "50%"});
  else
    argv.insert(argv.end(), {"-fuzz", std::to_string(fuzz) + "%", "-fill", "black", "+opaque", colour, "-fill",
                             "white", "-opaque", colour});
  argv.insert(argv.end(), {"-format", "%[fx:mean]", "info:"});
  return atof(testsupport::Run(argv).out.c_str());
}

// The rectangle holds the same pixels in two screenshots.
inline bool Same(const std::string& a, const std::string& b, const XRect& r) {
  return testsupport::Run({"compare", "-metric", "AE", a + "[" + Text(r) + "]", b + "[" + Text(r) + "]", "null:"})
             .exitCode == 0;
}

// The colour of p<n>.jpg, and a folder of such pictures; the path of the first.
inline std::string Colour(int n) { return "rgb(200," + std::to_string(40 * n) + ",90)"; }
inline std::string Pictures(const std::string& folder, int count) {
  fs::create_directories(folder);
  for (int i = 0; i < count; ++i)
    EXPECT_EQ(testsupport::Run({"convert", "-size", "320x240", "xc:" + Colour(i),
                                folder + "/p" + std::to_string(i) + ".jpg"}).exitCode, 0);
  return folder + "/p0.jpg";
}

// The batch-rename window of the real program opened as the user does, on every file of
// the list, with the replace rule filled in (Start is then at (194, 178) in it): Edit >
// Select all; the list's menu (a right click), three up from its end: "Batch rename...".
// Each key waits for its menu to be shown, and the right click for the Edit menu to be
// gone: a click while a menu is open only closes that menu. An empty rectangle when the
// window did not come.
inline XRect OpenBatchDialog(RealWindow& x, const std::string& find, const std::string& text) {
  const size_t windows = x.Windows().size();
  auto menuAfter = [&](const std::function<void()>& open) {
    open();
    return RealWindow::WaitUntil([&] { return x.Windows().size() > windows; });
  };
  if (!menuAfter([&] { x.Key("alt+e"); })) return {};
  x.Key("Return");
  if (!RealWindow::WaitUntil([&] { return x.Windows().size() == windows; })) return {};
  if (!menuAfter([&] { x.Click(35, 460, 3); })) return {};
  for (const char* key : {"Up", "Up", "Up", "Return"}) x.Key(key);
  const unsigned long dialog = x.WaitForWindow("BatchRenameForm");
  if (!dialog) return {};
  const XRect d = x.Geometry(dialog);
  // Typed over what the window kept from its last use.
  for (const auto& [left, typed] : {std::pair{90, find}, std::pair{250, text}}) {
    x.Click(d.x + left, d.y + 70);
    x.Key("ctrl+a");
    x.Type(typed);
  }
  return d;
}

class RealWindowCase : public testing::Test {
 protected:
  void SetUp() override {
    KIVO2_REQUIRE_REAL_WINDOW();
    KIVO2_REQUIRE_TOOL("convert");
  }
  // The screen of a failed case stays in its sandbox.
  void TearDown() override {
    if (HasFailure() && !x_.Display().empty()) x_.Screenshot(testsupport::TempPath("failure.png"));
  }
  // Waits for a window of the program that none of `known` is (a dialog of the toolkit).
  unsigned long NewWindow(const std::vector<unsigned long>& known) {
    unsigned long found = 0;
    RealWindow::WaitUntil([&] {
      for (unsigned long w : x_.Windows())
        if (std::find(known.begin(), known.end(), w) == known.end()) found = w;
      return found != 0;
    });
    return found;
  }
  // Gives the input and waits for the window (a menu, a dialog) it opens.
  unsigned long Opens(const std::function<void()>& input) {
    const auto known = x_.Windows();
    input();
    return NewWindow(known);
  }
  unsigned long OpensByKeys(const std::string& keys) {
    return Opens([&] { x_.Key(keys); });
  }
  // Activates the window and gives the keys until a window with this role (with none, any
  // new window: a menu) shows: a window shown or closed a moment before may take the
  // keyboard back in between (at most three tries).
  unsigned long KeysOpen(unsigned long window, const std::string& keys, const std::string& role = "") {
    unsigned long found = 0;
    for (int attempt = 0; attempt < 3 && !found; ++attempt) {
      if (!x_.Activate(window)) continue;
      if (role.empty()) {
        found = OpensByKeys(keys);
        continue;
      }
      x_.Key(keys);
      found = x_.WaitForWindow(role, 5000);
    }
    return found;
  }
  // A screenshot in shot_ shows the colour (or, with none, dark pixels) in the rectangle.
  double ShareNow(const XRect& r, const std::string& colour = std::string(), int fuzz = 5) {
    return x_.Screenshot(shot_) ? Share(shot_, r, colour, fuzz) : -1;
  }
  // Waits until the rectangle of the screen holds still (two screenshots agree); it stays in before_.
  bool Steady(const XRect& r) {
    fs::remove(before_);
    return RealWindow::WaitUntil([&] {
      const bool same = x_.Screenshot(shot_) && fs::exists(before_) && Same(before_, shot_, r);
      return same || !fs::copy_file(shot_, before_, fs::copy_options::overwrite_existing);
    });
  }
  // The rectangle comes to differ from before_ within the time.
  bool Changes(const XRect& r, int ms) {
    return RealWindow::WaitUntil([&] { return x_.Screenshot(shot_) && !Same(before_, shot_, r); }, ms);
  }
  // The box around the pixels of the rectangle, on a new screenshot in shot_, that have one
  // of the colours or, with none given, that are not white.
  XRect BoxNow(const XRect& r, const std::vector<std::string>& colours = {}) {
    XRect b;
    if (!x_.Screenshot(shot_)) return b;
    // White goes black; then the colours (marked first), or all but black, go white.
    std::vector<std::string> argv{"convert", shot_ + "[" + Text(r) + "]", "-fuzz", "10%", "-fill", "black", "-opaque",
                                  "white"};
    for (const std::string& c : colours) argv.insert(argv.end(), {"-fill", "rgb(1,2,3)", "-opaque", c});
    if (colours.empty())
      argv.insert(argv.end(), {"-fuzz", "0", "-fill", "white", "+opaque", "black"});
    else
      argv.insert(argv.end(), {"-fuzz", "0", "-fill", "black", "+opaque", "rgb(1,2,3)", "-fill", "white", "-opaque",
                               "rgb(1,2,3)"});
    argv.insert(argv.end(), {"-format", "%@", "info:"});
    sscanf(testsupport::Run(argv).out.c_str(), "%dx%d+%d+%d", &b.width, &b.height, &b.x, &b.y);
    return {r.x + b.x, r.y + b.y, b.width, b.height};
  }
  void CloseBox(unsigned long window) {
    char id[32];
    snprintf(id, sizeof id, "0x%lx", window);
    x_.Tool({"wmctrl", "-i", "-c", id});
  }
  const std::string shot_ = testsupport::TempPath("shot.png"), before_ = testsupport::TempPath("before.png");
  const XRect screen_{0, 0, 1600, 1000};
  RealWindow x_;
};

}  // namespace realwindow
