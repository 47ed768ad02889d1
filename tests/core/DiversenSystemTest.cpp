// Diversen's registry routines (checked in the stand-in's .reg file itself) and RunAndWait.
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "TestSupport.h"
#include "core/Diversen.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SysUtils.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::ReadFile;
using testsupport::TempPath;
using testsupport::WriteFile;

std::string RegistryText() { return ReadFile(std::string(getenv("KIVO2_REGISTRY_DIR")) + "/HKEY_CURRENT_USER.reg"); }

TEST(DiversenRegistry, WritesEachTypeAndReadsStrings) {
  const std::string key = "\\Control Panel\\Desktop";
  WriteRegistryValue(HKEY_CURRENT_USER, key, "Wallpaper", "/home/u/kivo2wallpaper.bmp", 1);
  WriteRegistryValue(HKEY_CURRENT_USER, key, "Path", "%HOME%/x", 2);
  WriteRegistryValue(HKEY_CURRENT_USER, key, "TileWallpaper", "42", 3);
  WriteRegistryValue(HKEY_CURRENT_USER, key, "Raw", "AB", 4);
  std::string text = RegistryText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Control Panel\\Desktop]"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Wallpaper\"=\"/home/u/kivo2wallpaper.bmp\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"TileWallpaper\"=dword:0000002a"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Raw\"=hex:41,42"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Path\"=hex(2):"), std::string::npos) << text;

  // Type 0 keeps the type the value has: an integer stays an integer.
  WriteRegistryValue(HKEY_CURRENT_USER, key, "TileWallpaper", "7", 0);
  EXPECT_NE(RegistryText().find("\"TileWallpaper\"=dword:00000007"), std::string::npos);
  WriteRegistryValue(HKEY_CURRENT_USER, key, "Wallpaper", "/other.bmp", 0);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, key, "Wallpaper"), "/other.bmp");

  EXPECT_THROW(WriteRegistryValue(HKEY_CURRENT_USER, key, "New", "x", 0), ERegistryException);
  EXPECT_THROW(WriteRegistryValue(HKEY_CURRENT_USER, key, "Odd", "x", 9), ERegistryException);
  EXPECT_THROW(WriteRegistryValue(HKEY_CURRENT_USER, key, "Number", "not a number", 3), EConvertError);

  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, key, "TileWallpaper"), "") << "no string";
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, key, "Missing"), "");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, "\\Software\\Kivo\\Fresh", "x"), "");
  EXPECT_NE(RegistryText().find("[HKEY_CURRENT_USER\\Software\\Kivo\\Fresh]"), std::string::npos)
      << "reading creates the key";
}

TEST(DiversenRunAndWait, ResultsOfTheProgram) {
  EXPECT_EQ(RunAndWait("sh -c 'exit 5'", 0, false, false), 5u);
  EXPECT_EQ(RunAndWait("no-such-program-kivo2 x", 0, false, true), uint32_t(ENOENT));
  EXPECT_EQ(RunAndWait("sh -c 'exit 5", 0, false, false), uint32_t(EINVAL)) << "half-quoted: refused";
  EXPECT_EQ(RunAndWait("   ", 0, false, false), uint32_t(EINVAL));

  // Names with blanks and quotes reach the program as single arguments.
  std::string source = TempPath("Foto's van mij.jpg");
  WriteFile(source, "inhoud");
  std::string target = TempPath("kopie \"1\".jpg");
  EXPECT_EQ(RunAndWait("cp -- \"" + source + "\" '" + StringReplace(target, "'", "'\\''", rfReplaceAll) + "'", 10,
                       true, false),
            0u);
  EXPECT_EQ(ReadFile(target), "inhoud");
}

TEST(DiversenRunAndWait, TimeOuts) {
  Clock::time_point start = Clock::now();
  EXPECT_EQ(RunAndWait("sleep 1.2", 0, true, false), 0u) << "time-out 0 waits however long it takes";
  EXPECT_GE(std::chrono::duration<double>(Clock::now() - start).count(), 1.1);

  start = Clock::now();
  EXPECT_EQ(RunAndWait("sleep 5", 1, true, false), 2u);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_GE(seconds, 1.9);
  EXPECT_LT(seconds, 4.0);

  start = Clock::now();
  EXPECT_EQ(RunAndWait("sleep 3", 1, false, false), 1u);
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 2.9);
}

TEST(DiversenRunAndWait, TheGuiStaysAliveWhileWaiting) {
  // A timer of the GUI keeps firing while RunAndWait waits for the program.
  TTimer timer(nullptr);
  int ticks = 0;
  timer.OnTimer = [&](TObject*) { ++ticks; };
  timer.SetInterval(50);
  timer.SetEnabled(true);
  EXPECT_EQ(RunAndWait("sleep 1", 0, false, false), 0u);
  timer.SetEnabled(false);
  EXPECT_GE(ticks, 10);
  EXPECT_LE(ticks, 25);
}

}  // namespace
