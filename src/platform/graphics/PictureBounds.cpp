// The bounds a picture from a file must meet before its pixels are allocated.
#include "platform/graphics/PictureBounds.h"

#include "platform/graphics/Graphics.h"
#include "platform/graphics/GraphicsInternal.h"
#include "platform/i18n/GnuGetText.h"

void CheckPictureSize(int64_t width, int64_t height, int bitsPerPixel) {
  const int64_t rowBytes = graphics_internal::RowBytes(width, bitsPerPixel);
  if (width > MaxBitmapSide || height > MaxBitmapSide || rowBytes < 0 ||
      (height > 0 && rowBytes > MaxBitmapBytes / height))
    throw EInvalidGraphic(Format(_("Cannot load image. The picture is too large: %d x %d pixels."), {width, height}));
}

void CheckPictureData(const std::string& formatName, int64_t width, int64_t height, uint64_t neededUnits,
                      uint64_t storedBytes, TDataExpansion expansion) {
  // needed x PerBytes against stored x Units, in 128 bits so that neither product overflows.
  const unsigned __int128 needed = (unsigned __int128)neededUnits * expansion.PerBytes;
  const unsigned __int128 possible = (unsigned __int128)storedBytes * expansion.Units;
  if (needed > possible)
    throw EInvalidGraphic(
        Format(_("Cannot load image. The %s file holds too little data for a picture of %d x %d pixels."),
               {formatName, width, height}));
}
