// Keys and shortcuts: the one table between the toolkit's key codes and the class
// library's virtual keys, and the shortcut texts of menu items.
#include <QKeyEvent>

#include <cctype>
#include <strings.h>

#include "platform/gui/GuiInternal.h"

namespace {

struct KeyPair {
  int qt;
  uint16_t vk;
};

// Keys whose virtual key does not depend on the keypad modifier.
constexpr KeyPair kKeys[] = {
    {Qt::Key_Escape, VK_ESCAPE},     {Qt::Key_Tab, VK_TAB},         {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Backspace, VK_BACK},    {Qt::Key_Return, VK_RETURN},   {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Insert, VK_INSERT},     {Qt::Key_Delete, VK_DELETE},   {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_Print, VK_SNAPSHOT},    {Qt::Key_Clear, VK_CLEAR},     {Qt::Key_Home, VK_HOME},
    {Qt::Key_End, VK_END},           {Qt::Key_Left, VK_LEFT},       {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},       {Qt::Key_Down, VK_DOWN},       {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},     {Qt::Key_Shift, VK_SHIFT},     {Qt::Key_Control, VK_CONTROL},
    {Qt::Key_Alt, VK_MENU},          {Qt::Key_AltGr, VK_MENU},      {Qt::Key_Meta, VK_LWIN},
    {Qt::Key_Super_L, VK_LWIN},      {Qt::Key_Super_R, VK_RWIN},    {Qt::Key_Menu, VK_APPS},
    {Qt::Key_CapsLock, VK_CAPITAL},  {Qt::Key_NumLock, VK_NUMLOCK}, {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Space, VK_SPACE},       {Qt::Key_Help, VK_HELP},       {Qt::Key_Select, VK_SELECT},
    {Qt::Key_Execute, VK_EXECUTE},   {Qt::Key_Cancel, VK_CANCEL},
    // Punctuation as on a US keyboard, unshifted and shifted. (The unshifted "-", "." and
    // "/" are named by the keypad table below; here they give a virtual key its key back.)
    {Qt::Key_Minus, VK_OEM_MINUS},   {Qt::Key_Period, VK_OEM_PERIOD}, {Qt::Key_Slash, VK_OEM_2},
    {Qt::Key_Semicolon, VK_OEM_1},   {Qt::Key_Colon, VK_OEM_1},     {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA},   {Qt::Key_Less, VK_OEM_COMMA},  {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Greater, VK_OEM_PERIOD}, {Qt::Key_Question, VK_OEM_2}, {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_AsciiTilde, VK_OEM_3},  {Qt::Key_BracketLeft, VK_OEM_4}, {Qt::Key_BraceLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},   {Qt::Key_Bar, VK_OEM_5},       {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_BraceRight, VK_OEM_6},  {Qt::Key_Apostrophe, VK_OEM_7}, {Qt::Key_QuoteDbl, VK_OEM_7},
    // Shifted digits.
    {Qt::Key_Exclam, '1'},           {Qt::Key_At, '2'},             {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},           {Qt::Key_Percent, '5'},        {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},        {Qt::Key_ParenLeft, '9'},      {Qt::Key_ParenRight, '0'},
};

// Keys that are keypad keys with the keypad modifier, and something else without.
struct KeypadKey {
  int qt;
  uint16_t keypad;
  uint16_t main;
};
constexpr KeypadKey kKeypad[] = {
    {Qt::Key_Asterisk, VK_MULTIPLY, '8'},   {Qt::Key_Plus, VK_ADD, VK_OEM_PLUS},
    {Qt::Key_Minus, VK_SUBTRACT, VK_OEM_MINUS}, {Qt::Key_Period, VK_DECIMAL, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_DIVIDE, VK_OEM_2},
};

// Names of keys in shortcut texts, as the class library writes them.
struct KeyName {
  uint16_t vk;
  const char* name;
};
constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},       {VK_TAB, "Tab"},          {VK_ESCAPE, "Esc"},       {VK_RETURN, "Enter"},
    {VK_SPACE, "Space"},     {VK_PRIOR, "PgUp"},       {VK_NEXT, "PgDn"},        {VK_END, "End"},
    {VK_HOME, "Home"},       {VK_LEFT, "Left"},        {VK_UP, "Up"},            {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},       {VK_INSERT, "Ins"},       {VK_DELETE, "Del"},       {VK_PAUSE, "Pause"},
    {VK_MULTIPLY, "Num *"},  {VK_ADD, "Num +"},        {VK_SUBTRACT, "Num -"},   {VK_DECIMAL, "Num Del"},
    {VK_DIVIDE, "Num /"},    {VK_OEM_1, ";"},          {VK_OEM_PLUS, "="},       {VK_OEM_COMMA, ","},
    {VK_OEM_MINUS, "-"},     {VK_OEM_PERIOD, "."},     {VK_OEM_2, "/"},          {VK_OEM_3, "`"},
    {VK_OEM_4, "["},         {VK_OEM_5, "\\"},         {VK_OEM_6, "]"},          {VK_OEM_7, "'"},
    {VK_SNAPSHOT, "Print"},  {VK_APPS, "Menu"},        {VK_CLEAR, "Clear"},
};

std::string KeyText(uint16_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, char(vk));
  if (vk >= VK_F1 && vk <= VK_F24) return "F" + std::to_string(vk - VK_F1 + 1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return "Num " + std::to_string(vk - VK_NUMPAD0);
  for (const auto& k : kKeyNames)
    if (k.vk == vk) return k.name;
  return std::string();
}

}  // namespace

namespace gui {

uint16_t VirtualKeyFromQt(const QKeyEvent* event) {
  const int key = event->key();
  const bool keypad = event->modifiers() & Qt::KeypadModifier;
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return uint16_t(key);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return keypad ? uint16_t(VK_NUMPAD0 + (key - Qt::Key_0)) : uint16_t(key);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return uint16_t(VK_F1 + (key - Qt::Key_F1));
  for (const auto& k : kKeypad)
    if (k.qt == key) return keypad ? k.keypad : k.main;
  for (const auto& k : kKeys)
    if (k.qt == key) return k.vk;
  return 0;
}

int QtKeyFromVirtualKey(uint16_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return vk;
  if (vk >= VK_F1 && vk <= VK_F24) return Qt::Key_F1 + (vk - VK_F1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return Qt::Key_0 + (vk - VK_NUMPAD0);
  for (const auto& k : kKeypad)
    if (k.keypad == vk) return k.qt;
  for (const auto& k : kKeys)
    if (k.vk == vk) return k.qt;
  return 0;
}

TShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s;
  if (modifiers & Qt::ShiftModifier) s.Include(ssShift);
  if (modifiers & Qt::ControlModifier) s.Include(ssCtrl);
  if (modifiers & Qt::AltModifier) s.Include(ssAlt);
  if (buttons & Qt::LeftButton) s.Include(ssLeft);
  if (buttons & Qt::RightButton) s.Include(ssRight);
  if (buttons & Qt::MiddleButton) s.Include(ssMiddle);
  return s;
}

}  // namespace gui

TShortCut ShortCut(uint16_t Key, TShiftState Shift) {
  if (Key & 0xFF00) return 0;
  TShortCut s = Key;
  if (Shift.Contains(ssShift)) s |= scShift;
  if (Shift.Contains(ssCtrl)) s |= scCtrl;
  if (Shift.Contains(ssAlt)) s |= scAlt;
  return s;
}

void ShortCutToKey(TShortCut shortCut, uint16_t& Key, TShiftState& Shift) {
  Key = shortCut & 0xFF;
  Shift = TShiftState();
  if (shortCut & scShift) Shift.Include(ssShift);
  if (shortCut & scCtrl) Shift.Include(ssCtrl);
  if (shortCut & scAlt) Shift.Include(ssAlt);
}

std::string ShortCutToText(TShortCut shortCut) {
  std::string name = KeyText(shortCut & 0xFF);
  if (name.empty()) return std::string();
  std::string prefix;
  if (shortCut & scShift) prefix += "Shift+";
  if (shortCut & scCtrl) prefix += "Ctrl+";
  if (shortCut & scAlt) prefix += "Alt+";
  return prefix + name;
}

TShortCut TextToShortCut(const std::string& text) {
  std::string rest = text;
  TShortCut mods = 0;
  // Modifier prefixes in any order, without case.
  struct Prefix {
    const char* text;
    TShortCut bit;
  };
  static constexpr Prefix kPrefixes[] = {{"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Ctl+", scCtrl},
                                         {"Control+", scCtrl}, {"Alt+", scAlt}};
  for (bool found = true; found;) {
    found = false;
    for (const auto& p : kPrefixes) {
      size_t n = strlen(p.text);
      if (rest.size() > n && strncasecmp(rest.c_str(), p.text, n) == 0) {
        mods |= p.bit;
        rest = rest.substr(n);
        found = true;
      }
    }
  }
  if (rest.empty()) return 0;
  for (int vk = 8; vk <= 255; ++vk) {
    std::string name = KeyText(uint16_t(vk));
    if (!name.empty() && strcasecmp(name.c_str(), rest.c_str()) == 0) return TShortCut(vk | mods);
  }
  return 0;
}
