#pragma once
// Helpers shared by the run-time library's own files; not for use outside src/platform/rtl.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

namespace rtl_internal {
// Local TDateTime of a moment given as seconds and nanoseconds since 1970 (UTC).
TDateTime LocalDateTimeFromTimespec(int64_t sec, long nsec);
// Text for a failed file operation: the message with the file name and the system's reason.
std::string FileErrorText(const char* englishFormat, const std::string& fileName, int errorCode);
// The lines of a text: CR LF, LF and lone CR all end a line; a final line break adds no line.
std::vector<std::string> SplitLines(const std::string& text);
// The text of a text file's bytes, line by line: a UTF-8 byte-order mark dropped; each line
// as its bytes stand (valid UTF-8 or not: names are bytes), except a line that is not UTF-8
// and is itself an old Windows path (a drive or share at its start), read as Windows-1252.
std::string DecodeTextFile(std::string bytes);

// What a file looked like when it was last read, to notice changes made by others
// (a rewrite by rename gives a new inode; an edit in place a new time or size).
struct FileSignature {
  bool known = false;
  bool existed = false;
  uint64_t dev = 0, ino = 0;
  int64_t size = 0, mtimeSec = 0, mtimeNsec = 0;
  // Takes the file's current signature; true when it differs from the one kept (or none was).
  bool Update(const std::string& fileName);
  void Forget() { known = false; }
};
}  // namespace rtl_internal

class TStrings;
namespace rtl_internal {
// Replaces the list's lines by these, as one update.
void ReplaceLines(TStrings& strings, const std::vector<std::string>& lines);
}  // namespace rtl_internal
