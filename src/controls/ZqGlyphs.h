#pragma once
// The glyphs of the program's buttons: one table gives each button (by its window's and
// its own component name) and each push-button kind (by its resource name) the icon its
// command calls for, by freedesktop icon name. The picture comes from the desktop's icon
// theme, or from the program's own glyph folder where the theme has none.
#include <initializer_list>
#include <string>

#include "platform/rtl/Types.h"

class TBitmap;
class TComponent;
class TImageList;

// The icon name of a button ("Form1", "ZqNext" -> "go-next"), of a push-button kind
// ("", "ZQOK" -> "dialog-ok"), or of a tool button whose picture sits in an image list;
// "" when the table has none.
std::string ZqGlyphName(const std::string& form, const std::string& button);

// A glyph strip of cells side by side, each size x size, made from the one picture of the
// icon (its symbolic form where the theme has one): normal, disabled (grey and faint), and with four cells also down (darker) and hot
// (lighter), in the order the face routine picks them. 32-bit with alpha. False when the
// icon is found nowhere.
bool ZqGlyphStrip(const std::string& icon, int size, int cells, TBitmap& strip);

// Gives every glyph button that form owns and that has no glyph yet the glyph the table
// names: four cells of 16 pixels (24 for buttons taller than 32). A button whose caption
// only stood in for a picture ("<", "+", "x") shows the glyph alone.
void ApplyZqGlyphs(TComponent* form);

// Adds the pictures of the named tool buttons of form to list, in the order given.
void AddZqGlyphs(TImageList& list, const std::string& form, std::initializer_list<const char*> buttons);

// The picture the table names for a component that is no button (a picture, a tree's
// node images by the part each node shows), size x size on the given background.
bool ZqGlyphPicture(const std::string& form, const std::string& component, int size, TColor background,
                    TBitmap& picture);
