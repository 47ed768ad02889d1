#include "controls/ZrkSound.h"

#include "platform/services/Sound.h"

void TZrkSound::Play() {
  PlayWaveFile(soundFile_, loopSound_);
  if (OnPlay) {
    OnPlay(this);
    played_ = true;
  }
}

void TZrkSound::Stop() {
  StopWaveFile();
  if (played_ && OnStop) OnStop(this);
}
