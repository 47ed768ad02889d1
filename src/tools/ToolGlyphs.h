#pragma once
// The small pictures of the compare and copy windows' tool buttons (the glyph table's
// icons, 16 x 16 with alpha), in the order of their indexes.
class TImageList;

// Indexes of the compare window's glyphs.
constexpr int kGlyphClose = 0, kGlyphDelete = 1, kGlyphInPaperclip = 2, kGlyphRealSize = 4, kGlyphCenter = 5,
              kGlyphNotInPaperclip = 6;
// Adds the compare window's seven glyphs (index 3 is a spare copy of the close glyph).
void AddCompareGlyphs(TImageList& list);

// Indexes of the copy window's glyphs.
enum TCopyGlyph {
  cgFullView, cgLeftOf2, cgRightOf2, cgLeftOf3, cgMiddleOf3, cgRightOf3, cgTopLeft, cgBottomLeft, cgTopRight,
  cgBottomRight, cgTopRow, cgMiddleRow, cgBottomRow, cgMagnifier, cgRealSize, cgDelete, cgFolder, cgClose
};
void AddCopyWindowGlyphs(TImageList& list);
