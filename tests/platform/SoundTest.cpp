// The sound service: a stand-in player program on PATH records what it was started with
// and how long it lived, so the tests see the argument vector, the asynchronous start,
// the looping, and that a new sound or a stop ends the one that plays.
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>

#include "TestSupport.h"
#include "platform/QtApplication.h"
#include "platform/gui/GuiTesting.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Sound.h"

namespace {

class SoundTest : public testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    bin_ = testsupport::TempPath("bin");
    ForceDirectories(bin_);
    log_ = testsupport::TempPath("player.log");
    savedPath_ = GetEnvironmentVariable("PATH");
    setenv("PATH", (bin_ + ":" + savedPath_).c_str(), 1);
    SetSoundRecording(false);
  }
  void TearDown() override {
    StopWaveFile();
    setenv("PATH", savedPath_.c_str(), 1);
    SetSoundRecording(true);
    ClearRecordedSounds();
  }

  // A player that logs "pid file" and then sleeps for seconds.
  void InstallPlayer(const std::string& name, const std::string& seconds) {
    const std::string script = bin_ + "/" + name;
    testsupport::WriteFile(script, "#!/bin/sh\necho \"$$ $1\" >> '" + log_ + "'\nexec sleep " + seconds + "\n");
    chmod(script.c_str(), 0755);
  }

  std::vector<std::string> Lines() {
    return FileExists(log_) ? testsupport::Lines(testsupport::ReadFile(log_)) : std::vector<std::string>();
  }

  static bool Alive(const std::string& line) {
    const pid_t pid = pid_t(std::atoi(line.c_str()));
    return pid > 0 && kill(pid, 0) == 0;
  }

  std::string Wave(const std::string& name) {
    const std::string file = testsupport::TempFile(name, "RIFF");
    return file;
  }

  std::string bin_, log_, savedPath_;
};

}  // namespace

TEST_F(SoundTest, PlaysAsynchronouslyWithTheFileAsOneArgument) {
  InstallPlayer("paplay", "5");
  const std::string file = Wave("memo with 'quotes' and spaces.wav");
  EXPECT_TRUE(PlayWaveFile(file, false));
  // The call returned while the player still runs.
  EXPECT_TRUE(WaveFilePlaying());
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return Lines().size() == 1; }, 30000));
  const std::string line = Lines()[0];
  EXPECT_EQ(line.substr(line.find(' ') + 1), file);
  EXPECT_TRUE(Alive(line));
  StopWaveFile();
  EXPECT_FALSE(WaveFilePlaying());
  EXPECT_TRUE(GuiTesting::WaitUntil([&] { return !Alive(line); }, 30000));
}

TEST_F(SoundTest, ANewSoundCutsOffThePreviousOne) {
  InstallPlayer("aplay", "5");  // the second choice of player
  EXPECT_FALSE(WavePlayerProgram().empty());
  ASSERT_TRUE(PlayWaveFile(Wave("a.wav"), false));
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return Lines().size() == 1; }, 30000));
  ASSERT_TRUE(PlayWaveFile(Wave("b.wav"), false));
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return Lines().size() == 2; }, 30000));
  const std::vector<std::string> lines = Lines();
  EXPECT_FALSE(Alive(lines[0]));
  EXPECT_TRUE(Alive(lines[1]));
}

TEST_F(SoundTest, LoopingRestartsUntilStopped) {
  InstallPlayer("paplay", "0.05");
  ASSERT_TRUE(PlayWaveFile(Wave("loop.wav"), true));
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return Lines().size() >= 3; }, 30000));
  StopWaveFile();
  const size_t count = Lines().size();
  GuiTesting::WaitUntil([] { return false; }, 300);
  EXPECT_EQ(Lines().size(), count);
  // Without looping the player runs once.
  ASSERT_TRUE(PlayWaveFile(Wave("once.wav"), false));
  GuiTesting::WaitUntil([] { return false; }, 400);
  EXPECT_EQ(Lines().size(), count + 1);
}

TEST_F(SoundTest, NothingPlaysForAMissingFileOrWithoutAPlayer) {
  InstallPlayer("paplay", "5");
  EXPECT_FALSE(PlayWaveFile(testsupport::TempPath("missing.wav"), false));
  EXPECT_FALSE(PlayWaveFile("", false));
  EXPECT_FALSE(WaveFilePlaying());
  setenv("PATH", bin_.c_str(), 1);
  remove((bin_ + "/paplay").c_str());
  EXPECT_TRUE(WavePlayerProgram().empty());
  EXPECT_FALSE(PlayWaveFile(Wave("a.wav"), false));
  EXPECT_TRUE(Lines().empty());
}

TEST_F(SoundTest, UnderTestTheCallsAreRecorded) {
  InstallPlayer("paplay", "5");
  SetSoundRecording(true);
  ClearRecordedSounds();
  const std::string file = Wave("r.wav");
  EXPECT_TRUE(PlayWaveFile(file, true));
  EXPECT_TRUE(WaveFilePlaying());
  StopWaveFile();
  EXPECT_FALSE(WaveFilePlaying());
  const std::vector<TSoundEvent> events = RecordedSounds();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_TRUE(events[0].Play);
  EXPECT_EQ(events[0].File, file);
  EXPECT_TRUE(events[0].Loop);
  EXPECT_FALSE(events[1].Play);
  GuiTesting::WaitUntil([] { return false; }, 100);
  EXPECT_TRUE(Lines().empty());
}
