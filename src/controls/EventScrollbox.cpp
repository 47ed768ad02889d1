#include "controls/EventScrollbox.h"

void TEvScrollBox::DoScroll(TScrollBarKind Kind) {
  TScrollBox::DoScroll(Kind);
  if (Kind == sbHorizontal) {
    if (OnHScroll) OnHScroll(this);
  } else if (OnVScroll) {
    OnVScroll(this);
  }
}
