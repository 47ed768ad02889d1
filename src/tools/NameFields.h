#pragma once
// The name fields of the card import and the batch rename (a prefix or suffix added to
// file names): the date token, its insertion and removal at the caret, and the keys the
// fields refuse while typing.
#include <string>

// Stands for today's date in a name field.
inline constexpr char DateToken[] = "[%d]";

// Today's date in the short date format of the interface language, with every character
// a file name may not hold (the date separator '/' of the English format) written as '-',
// so that a resolved name field stays a valid file name.
std::string NameFieldDate();
// The text with its first occurrence of item replaced by replacement (unchanged when
// item is empty or absent).
std::string ReplaceFirst(const std::string& text, const std::string& item, const std::string& replacement);
// The text without its first occurrence of item, or, when it has none, with item inserted
// at the caret (a position in characters, 0 = before the first one).
std::string InsertRemoveItem(const std::string& text, const std::string& item, int caret);
// A key typed into a name field: the double quote and * / : < > ? \ | (with refusePoint
// also '.') are refused with a beep, and Key becomes 0 so the field drops it.
void NameFieldKeyPress(char& Key, bool refusePoint);
