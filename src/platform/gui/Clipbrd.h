#pragma once
// The clipboard: text, pictures (a bitmap with its palette) and named formats that
// carry raw bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/rtl/Classes.h"

// Format numbers are the graphics layer's TClipboardFormat (CF_BITMAP and CF_DIB come from there).
using TClipboardFormatId = TClipboardFormat;
constexpr TClipboardFormatId CF_TEXT = 1, CF_PALETTE = 9, CF_UNICODETEXT = 13, CF_HDROP = 15;

// Registers a named format (the same name gives the same id); ids start at 0xC000.
TClipboardFormatId RegisterClipboardFormat(const std::string& name);

class TClipboard : public TPersistent {
 public:
  std::string AsText() const;
  void SetAsText(const std::string& text);
  // Puts a picture (TBitmap, or any graphic drawn into a bitmap) on the clipboard.
  void Assign(TPersistent* source) override;
  // Reads the clipboard picture into a bitmap (pf24bit, or pf32bit with alpha); false
  // when there is none.
  bool GetBitmap(TBitmap& bitmap) const;
  bool HasFormat(TClipboardFormatId format) const;
  // Raw bytes of a registered format.
  void SetBuffer(TClipboardFormatId format, const std::vector<uint8_t>& data);
  std::vector<uint8_t> GetBuffer(TClipboardFormatId format) const;
  // Puts the bytes of a file on the clipboard as the desktop's programs take them: under
  // each of the MIME types given ("application/rtf", "text/rtf").
  void SetAsMimeData(const std::vector<std::string>& mimeTypes, const std::string& bytes);
  void Clear();
  // Groups changes so the clipboard is written once (kept for the class library's calls).
  void Open();
  void Close();
};

// The program's one clipboard object.
TClipboard* Clipboard();
