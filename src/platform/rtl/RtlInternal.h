#pragma once
// Helpers shared by the run-time library's own files; not for use outside src/platform/rtl.
#include <cstdint>
#include <string>

#include "platform/rtl/SysUtils.h"

namespace rtl_internal {
// Local TDateTime of a moment given as seconds and nanoseconds since 1970 (UTC).
TDateTime LocalDateTimeFromTimespec(int64_t sec, long nsec);
// Text for a failed file operation: the message with the file name and the system's reason.
std::string FileErrorText(const char* englishFormat, const std::string& fileName, int errorCode);
}  // namespace rtl_internal
