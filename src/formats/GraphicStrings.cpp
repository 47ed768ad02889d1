// Lookup and formatting of the format library's messages.
#include "formats/GraphicStrings.h"

#include "platform/i18n/GnuGetText.h"

std::string GraphicText(const char* text) { return _(text); }

std::string GraphicTextFmt(const char* text, std::initializer_list<TVarRec> args) { return Format(_(text), args); }
