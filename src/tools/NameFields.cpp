#include "tools/NameFields.h"

#include <cstring>

#include "platform/gui/Dialogs.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The byte offset of character position caret in UTF-8 text (clamped to its length).
size_t ByteOffsetOfChar(const std::string& text, int caret) {
  size_t i = 0;
  for (int n = 0; n < caret && i < text.size(); ++n) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}


}  // namespace

std::string NameFieldDate() {
  std::string date = DateToStr(Date());
  for (char& c : date)
    if (c < 32 || std::strchr("\"*/:<>?\\|", c)) c = '-';
  return date;
}

std::string ReplaceFirst(const std::string& text, const std::string& item, const std::string& replacement) {
  const int at = Pos(item, text);
  if (at == 0) return text;
  std::string result = text;
  result.replace(size_t(at - 1), item.size(), replacement);
  return result;
}

std::string InsertRemoveItem(const std::string& text, const std::string& item, int caret) {
  if (item.empty()) return text;
  if (Pos(item, text) > 0) return ReplaceFirst(text, item, std::string());
  std::string result = text;
  result.insert(ByteOffsetOfChar(text, caret < 0 ? 0 : caret), item);
  return result;
}


void NameFieldKeyPress(char& Key, bool refusePoint) {
  if (Key == 0) return;
  if (std::strchr("\"*/:<>?\\|", Key) || (refusePoint && Key == '.')) {
    MessageBeep();
    Key = 0;
  }
}
