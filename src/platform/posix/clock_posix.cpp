#include <time.h>

#include <cerrno>

#include "platform/clock.h"

namespace qv::platform {
namespace {

class PosixClock final : public Clock {
 public:
  int64_t NowMs() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
  }

  void SleepMs(int64_t ms) override {
    if (ms <= 0) return;
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000)};
    // Resume after signals, so a wait lasts as long as it says.
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
  }
};

}  // namespace

Clock& SystemClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace qv::platform
