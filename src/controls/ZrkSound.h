#pragma once
// TZrkSound: a non-visual component that plays one wave file asynchronously through the
// platform's sound service and reports start and stop through events.
#include <string>

#include "platform/rtl/Classes.h"

class TZrkSound : public TComponent {
 public:
  explicit TZrkSound(TComponent* AOwner) : TComponent(AOwner) {}

  const std::string& SoundFile() const { return soundFile_; }
  void SetSoundFile(const std::string& file) { soundFile_ = file; }
  // A fixed informational text; writing it changes nothing.
  std::string Version() const { return "Sound player 1.0"; }
  bool LoopSound() const { return loopSound_; }
  void SetLoopSound(bool v) { loopSound_ = v; }

  // Plays SoundFile (a new Play or Stop cuts off the previous sound); fires OnPlay.
  void Play();
  // Stops the sound; fires OnStop once a Play has fired OnPlay.
  void Stop();

  TNotifyEvent OnPlay;
  TNotifyEvent OnStop;

 private:
  std::string soundFile_;
  bool loopSound_ = false;
  bool played_ = false;
};
