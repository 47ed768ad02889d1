#pragma once
// TEvScrollBox: a scroll box that reports every scroll step the user makes with its
// scroll bars through OnHScroll and OnVScroll (after the box has scrolled). The events
// carry no position; a handler reads the scroll bars itself.
#include "platform/gui/Forms.h"

class TEvScrollBox : public TScrollBox {
 public:
  explicit TEvScrollBox(TComponent* AOwner) : TScrollBox(AOwner) {}

  TNotifyEvent OnVScroll;
  TNotifyEvent OnHScroll;

  void DoScroll(TScrollBarKind Kind) override;
};
