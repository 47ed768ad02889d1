// Diversen: the program's translated message dialog and the gray conversion of bitmaps.
#include <memory>

#include "core/Diversen.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Dialogs.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

int TranslatedMessageDialog(const std::string& message, TMsgDlgType dialogType, TMsgDlgButtons buttons,
                            int /*helpContext*/) {
  // Always the question icon, whatever the dialog type; the title of the type, the
  // dialog made wide enough for it.
  static const char* const captions[] = {"Warning", "Error", "Information", "Confirm", "Custom"};
  const int type = int(dialogType);
  std::unique_ptr<TForm> dialog(type >= 0 && type < 5
                                    ? CreateMessageDialog(message, mtConfirmation, buttons, _(captions[type]))
                                    : CreateMessageDialog(message, mtConfirmation, buttons));
  static const char* const buttonTexts[][2] = {
      {"Yes", "Yes"},     {"No", "No"},   {"OK", "Ok"},           {"Cancel", "Cancel"},
      {"Abort", "Abort"}, {"Retry", "Retry"}, {"Ignore", "Ignore"}, {"All", "All"},
      {"NoToAll", "NoToAll"}, {"YesToAll", "YesToAll"}, {"Help", "Help"}};
  for (const auto& [name, caption] : buttonTexts) {
    if (auto* button = dynamic_cast<TControl*>(dialog->FindComponent(name))) button->SetCaption(_(caption));
  }
  return dialog->ShowModal();
}

void GrayscaleBitmap(TBitmap& bitmap) {
  switch (bitmap.PixelFormat()) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
      // The colour table turns gray; the pixel indices stay.
      TPalette palette = bitmap.Palette();
      for (int i = 0; i < palette.Count(); ++i) {
        TPaletteEntry e = palette.Entry(i);
        uint8_t gray = uint8_t((e.peRed + e.peGreen + e.peBlue) / 3);
        e.peRed = e.peGreen = e.peBlue = gray;
        palette.SetEntry(i, e);
      }
      bitmap.SetPalette(palette);
      break;
    }
    case pf15bit:
    case pf16bit:
      throw Exception(_("15bit and 16bit bitmap grayscale conversion not supported"));
    case pf24bit:
    case pf32bit: {
      const int step = bitmap.PixelFormat() == pf24bit ? 3 : 4;
      const int width = bitmap.Width();
      for (int y = 0; y < bitmap.Height(); ++y) {
        uint8_t* p = bitmap.ScanLine(y);
        for (uint8_t* end = p + size_t(width) * step; p < end; p += step) {
          uint8_t gray = uint8_t((p[0] + p[1] + p[2]) / 3);
          p[0] = p[1] = p[2] = gray;
        }
      }
      break;
    }
    default:
      break;  // device-dependent and custom formats are left alone
  }
}
