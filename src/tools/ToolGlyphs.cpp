#include "tools/ToolGlyphs.h"

#include "controls/ZqGlyphs.h"
#include "platform/gui/ImgList.h"

void AddCompareGlyphs(TImageList& list) {
  AddZqGlyphs(list, "FormCompare",
              {"TBClose", "TBDelete", "TBPaperclip", "TBClose", "TBRealSize", "TBCenter", "TBPaperclipOff"});
}

void AddCopyWindowGlyphs(TImageList& list) {
  AddZqGlyphs(list, "ImageCopyForm",
              {"ToolButton3", "ToolButton1", "ToolButton2", "ToolButton4", "ToolButton5", "ToolButton6",
               "ToolButton7", "ToolButton10", "ToolButton9", "ToolButton11", "ToolButton18", "ToolButton19",
               "ToolButton20", "ToolButton26", "ToolButton22", "ToolButton24", "ToolButton13", "ToolButton15"});
}
