#pragma once
// The explorer controls. TQzDirTree21 is the folder tree: for now the tree view it is
// built on, so that windows can hold one; its folder and shell behaviour come later.
#include "platform/gui/ComCtrls.h"

class TQzDirTree21 : public TCustomTreeView {
 public:
  explicit TQzDirTree21(TComponent* AOwner);
};
