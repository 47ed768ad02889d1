#pragma once
// File times in local time for a list that shows thousands of them at once.
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/rtl/SysUtils.h"

// What UnixToLocalDateTime gives, for many instants and from several threads at once: the
// offset from UTC of a day met is asked of the system once and kept when both ends of
// the day have it and the plain sum gives what the system gives there (no change of
// offset and no leap second that day); other days are asked of the system per instant.
// Threads making date texts then no longer queue on the C library's time-zone lock. Meant
// to live for one job, so that a change of the time zone reaches the next one.
class TLocalTimes {
 public:
  TLocalTimes();
  TDateTime FromUnix(int64_t unixSeconds);

 private:
  // Direct-mapped by day: the day in the high half, its offset in the low half; 0 empty.
  static constexpr size_t kDays = 4096;
  std::unique_ptr<std::atomic<uint64_t>[]> days_;
};
