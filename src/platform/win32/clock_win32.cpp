#include "platform/clock.h"
#include "platform/win32/windows_api.h"

#include <mmsystem.h>

namespace qv::platform {
namespace {

// Milliseconds from the performance counter: GetTickCount64 only moves in steps of the system
// timer (15.6 ms by default), too coarse for the link's time-outs.
class Win32Clock final : public Clock {
 public:
  Win32Clock() { ::QueryPerformanceFrequency(&frequency_); }

  int64_t NowMs() override {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    // Split the division so that the multiplication by 1000 cannot overflow.
    int64_t f = frequency_.QuadPart;
    return now.QuadPart / f * 1000 + now.QuadPart % f * 1000 / f;
  }

  void SleepMs(int64_t ms) override {
    if (ms <= 0) return;
    // Sleep rounds up to the system timer's period; ask for 1 ms resolution for this sleep so
    // that the link's 50 ms pause between attempts lasts 50 ms, not 62.
    ::timeBeginPeriod(1);
    while (ms > 0) {
      DWORD step = ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(ms);
      ::Sleep(step);
      ms -= step;
    }
    ::timeEndPeriod(1);
  }

 private:
  LARGE_INTEGER frequency_{};
};

}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace qv::platform
