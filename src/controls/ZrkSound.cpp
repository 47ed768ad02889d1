#include "controls/ZrkSound.h"

void TZrkSound::Play() {
  if (OnPlay) {
    OnPlay(this);
    played_ = true;
  }
}

void TZrkSound::Stop() {
  if (played_ && OnStop) OnStop(this);
}
