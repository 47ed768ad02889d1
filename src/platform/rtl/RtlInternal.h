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
// Displayable text of a text file's bytes: a UTF-8 byte-order mark dropped, then UTF-8
// when valid, else Windows-1252.
std::string DecodeTextFile(std::string bytes);
}  // namespace rtl_internal
