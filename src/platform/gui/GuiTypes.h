#pragma once
// Value types shared by the controls, forms and dialogs: small sets of enumerated
// flags, mouse and key state, cursors, modal results and the virtual key codes.
#include <cstdint>
#include <initializer_list>

// A set of enumeration values (at most 64), as the class library's set types.
//   TShiftState s{ssShift, ssCtrl};  if (s.Contains(ssCtrl)) ...;  s == ssCtrl
template <typename E>
class TSetOf {
 public:
  constexpr TSetOf() = default;
  constexpr TSetOf(E e) : bits_(Bit(e)) {}  // NOLINT: a single value is a one-element set
  constexpr TSetOf(std::initializer_list<E> items) {
    for (E e : items) bits_ |= Bit(e);
  }
  static constexpr TSetOf FromBits(uint64_t bits) {
    TSetOf s;
    s.bits_ = bits;
    return s;
  }
  constexpr uint64_t Bits() const { return bits_; }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSetOf& Include(E e) {
    bits_ |= Bit(e);
    return *this;
  }
  constexpr TSetOf& Exclude(E e) {
    bits_ &= ~Bit(e);
    return *this;
  }
  // Union, difference and intersection as Pascal's +, - and *.
  friend constexpr TSetOf operator+(TSetOf a, TSetOf b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr TSetOf operator-(TSetOf a, TSetOf b) { return FromBits(a.bits_ & ~b.bits_); }
  friend constexpr TSetOf operator*(TSetOf a, TSetOf b) { return FromBits(a.bits_ & b.bits_); }
  friend constexpr bool operator==(TSetOf a, TSetOf b) { return a.bits_ == b.bits_; }

 private:
  static constexpr uint64_t Bit(E e) { return uint64_t(1) << unsigned(e); }
  uint64_t bits_ = 0;
};

// ---------------------------------------------------------------------------
// Mouse and keyboard state
// ---------------------------------------------------------------------------
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSetOf<TShiftStateItem>;

// A key with its modifiers, as menu items keep it: the virtual key in the low byte.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;

// ---------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSetOf<TAnchorKind>;
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// ---------------------------------------------------------------------------
// Cursors: the class library's stock cursors are negative, custom ones (registered
// with the screen) positive.
// ---------------------------------------------------------------------------
using TCursor = int16_t;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11,
                  crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16,
                  crSQLWait = -17, crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21,
                  crSizeAll = -22, crSize = -22;

// ---------------------------------------------------------------------------
// Modal results (the values callers compare with: 6 Yes, 7 No, 2 Cancel).
// ---------------------------------------------------------------------------
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                       mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10, mrClose = 11;

// ---------------------------------------------------------------------------
// Drag and drop
// ---------------------------------------------------------------------------
enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };

// ---------------------------------------------------------------------------
// Virtual key codes as the class library reports them in OnKeyDown / OnKeyUp.
// Letters and digits are their upper-case ASCII codes ('A' = 65, '0' = 48).
// ---------------------------------------------------------------------------
constexpr uint16_t VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_CANCEL = 0x03, VK_MBUTTON = 0x04, VK_BACK = 0x08,
                   VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
                   VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
                   VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26,
                   VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SELECT = 0x29, VK_PRINT = 0x2A, VK_EXECUTE = 0x2B,
                   VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F, VK_LWIN = 0x5B,
                   VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_NUMPAD0 = 0x60, VK_NUMPAD1 = 0x61, VK_NUMPAD2 = 0x62,
                   VK_NUMPAD3 = 0x63, VK_NUMPAD4 = 0x64, VK_NUMPAD5 = 0x65, VK_NUMPAD6 = 0x66, VK_NUMPAD7 = 0x67,
                   VK_NUMPAD8 = 0x68, VK_NUMPAD9 = 0x69, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C,
                   VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F2 = 0x71,
                   VK_F3 = 0x72, VK_F4 = 0x73, VK_F5 = 0x74, VK_F6 = 0x75, VK_F7 = 0x76, VK_F8 = 0x77,
                   VK_F9 = 0x78, VK_F10 = 0x79, VK_F11 = 0x7A, VK_F12 = 0x7B, VK_F13 = 0x7C, VK_F14 = 0x7D,
                   VK_F15 = 0x7E, VK_F16 = 0x7F, VK_F17 = 0x80, VK_F18 = 0x81, VK_F19 = 0x82, VK_F20 = 0x83,
                   VK_F21 = 0x84, VK_F22 = 0x85, VK_F23 = 0x86, VK_F24 = 0x87, VK_NUMLOCK = 0x90,
                   VK_SCROLL = 0x91, VK_OEM_1 = 0xBA /* ; */, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC,
                   VK_OEM_MINUS = 0xBD, VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF /* / */, VK_OEM_3 = 0xC0 /* ` */,
                   VK_OEM_4 = 0xDB /* [ */, VK_OEM_5 = 0xDC /* \ */, VK_OEM_6 = 0xDD /* ] */,
                   VK_OEM_7 = 0xDE /* ' */, VK_OEM_102 = 0xE2 /* < > on European keyboards */;
