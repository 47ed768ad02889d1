#include "platform/services/Sound.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QObject>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/QtApplication.h"
#include "platform/rtl/SysUtils.h"

namespace {

// A player asked to stop gets this long to end before it is killed.
constexpr int kStopWaitMs = 1000;

struct SoundState {
  std::unique_ptr<QProcess> process;
  std::string file;
  bool loop = false;
  // Counts the plays, so that a player that ends after a newer play does not restart.
  unsigned generation = 0;
  bool recording = false;
  bool recordingSet = false;
  bool recordedPlaying = false;
  std::vector<TSoundEvent> recorded;
  bool cleanupInstalled = false;
};

SoundState& State() {
  static SoundState state;
  return state;
}

bool Recording() {
  SoundState& s = State();
  if (s.recordingSet) return s.recording;
  const char* v = std::getenv("KIVO2_UNDER_TEST");
  return v && *v && std::strcmp(v, "0") != 0;
}

void EndProcess() {
  SoundState& s = State();
  ++s.generation;
  if (!s.process) return;
  std::unique_ptr<QProcess> process = std::move(s.process);
  QObject::disconnect(process.get(), nullptr, nullptr, nullptr);
  if (process->state() != QProcess::NotRunning) {
    process->terminate();
    if (!process->waitForFinished(kStopWaitMs)) {
      process->kill();
      process->waitForFinished(kStopWaitMs);
    }
  }
}

void StartPlayer(unsigned generation) {
  SoundState& s = State();
  if (generation != s.generation) return;
  const std::string program = WavePlayerProgram();
  if (program.empty()) return;
  if (!s.process) {
    s.process = std::make_unique<QProcess>();
    s.process->setStandardOutputFile(QProcess::nullDevice());
    s.process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(s.process.get(), &QProcess::finished, [generation](int, QProcess::ExitStatus) {
      SoundState& st = State();
      if (!st.loop || generation != st.generation) return;
      // Start again once the finished player has been wound up.
      QTimer::singleShot(0, [generation] { StartPlayer(generation); });
    });
  }
  s.process->start(QString::fromStdString(program), {QString::fromStdString(s.file)});
}

}  // namespace

std::string WavePlayerProgram() {
  for (const char* name : {"paplay", "aplay"}) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!found.isEmpty()) return found.toStdString();
  }
  return std::string();
}

bool PlayWaveFile(const std::string& fileName, bool loop) {
  SoundState& s = State();
  if (Recording()) {
    s.recorded.push_back({true, fileName, loop});
    s.recordedPlaying = FileExists(fileName);
    return s.recordedPlaying;
  }
  EndProcess();
  if (fileName.empty() || !FileExists(fileName)) return false;
  if (WavePlayerProgram().empty()) return false;
  EnsureQtApplication();
  if (!s.cleanupInstalled) {
    // The player must not outlive the application object that watches it.
    qAddPostRoutine([] { EndProcess(); });
    s.cleanupInstalled = true;
  }
  s.file = fileName;
  s.loop = loop;
  StartPlayer(s.generation);
  if (!s.process || !s.process->waitForStarted(kStopWaitMs)) {
    EndProcess();
    return false;
  }
  return true;
}

void StopWaveFile() {
  SoundState& s = State();
  if (Recording()) {
    s.recorded.push_back({false, std::string(), false});
    s.recordedPlaying = false;
    return;
  }
  EndProcess();
}

bool WaveFilePlaying() {
  SoundState& s = State();
  if (Recording()) return s.recordedPlaying;
  return s.process && s.process->state() != QProcess::NotRunning;
}

void SetSoundRecording(bool on) {
  SoundState& s = State();
  if (on) EndProcess();
  s.recording = on;
  s.recordingSet = true;
  s.recordedPlaying = false;
}

bool SoundRecording() { return Recording(); }

std::vector<TSoundEvent> RecordedSounds() { return State().recorded; }

void ClearRecordedSounds() {
  State().recorded.clear();
  State().recordedPlaying = false;
}
