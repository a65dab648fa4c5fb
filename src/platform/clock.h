#pragma once

#include <cstdint>

namespace qv::platform {

// The system's millisecond tick counter, 64 bits wide so that deadlines never wrap.
class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds since an arbitrary start.
  virtual int64_t NowMs() = 0;
  // Blocks the calling thread for the given milliseconds (0 or less returns at once).
  virtual void SleepMs(int64_t ms) = 0;
};

// The real monotonic clock of the operating system.
Clock& SystemClock();

}  // namespace qv::platform
