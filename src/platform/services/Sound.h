#pragma once
// Wave playback: one sound at a time, played asynchronously by the desktop's player
// program (paplay, else aplay), started with an argument vector, never through a shell.
// A new play or a stop cuts off the sound that plays; a missing file plays nothing (there
// is no default sound); a looping sound starts again each time the player ends, until the
// next play or stop.
//
// Under test (KIVO2_UNDER_TEST=1) nothing is played: every call is recorded instead, so
// tests can check what would have sounded.
#include <string>
#include <vector>

// Starts playing fileName (looping when loop is set); false when the file does not exist
// or no player program can be started. The sound that played before stops either way.
bool PlayWaveFile(const std::string& fileName, bool loop);
// Stops the sound that plays, if any.
void StopWaveFile();
// True while a sound plays (a recorded play counts until the next stop or play).
bool WaveFilePlaying();
// The player program found on PATH (paplay or aplay); empty when there is none.
std::string WavePlayerProgram();

// The recording double.
struct TSoundEvent {
  bool Play = false;  // false: a stop
  std::string File;
  bool Loop = false;
};
// Recording is on under test; this switches it explicitly.
void SetSoundRecording(bool on);
bool SoundRecording();
std::vector<TSoundEvent> RecordedSounds();
void ClearRecordedSounds();
