#include "controls/QzFileExplorer28.h"

TQzDirTree21::TQzDirTree21(TComponent* AOwner) : TCustomTreeView(AOwner) {
  SetReadOnly(true);
  SetHideSelection(false);
}
