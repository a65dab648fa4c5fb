// A port that goes away under the engine (the USB device pulled, a pty whose far end closed):
// reads, writes or waits fail with EIO or ENXIO. The exchange must end like one with a silent
// device, with the link's no-connection text after the usual waits, and without spinning.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

#include "common/exception.h"
#include "link/KV_RS232.h"
#include "link/device_commands.h"
#include "link/link_texts.h"
#include "platform/port_table.h"
#include "support/link_fixture.h"

namespace qv {
namespace {

std::string FailureOf(TKV_RS& link) {
  try {
    device::Identify(link);
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no failure)";
}

// How the port fails once the device is gone.
struct GoneCase {
  const char* name;
  int error;  // the failing calls' error: an errno, or a Win32 code when win32
  bool win32 = false;
  bool read_fails = true;   // reads report the error (else they return nothing, as after EOF)
  bool write_fails = true;  // writes report the error
  platform::WaitResult wait = platform::WaitResult::kFailed;  // what a wait says
};

// The Win32 errors of a COM port whose USB device was pulled.
constexpr int kWin32AccessDenied = 5;  // ERROR_ACCESS_DENIED
constexpr int kWin32BadCommand = 22;   // ERROR_BAD_COMMAND

// A port whose device has gone: every call fails the way the case says, and each call is
// counted, so a loop that spins on the failed port shows up as thousands of calls.
class GonePort final : public platform::SerialPort {
 public:
  GonePort(const GoneCase& c, platform::fake::VirtualClock& clock) : case_(c), clock_(clock) {}

  void SetQueueSizes(uint32_t, uint32_t) override {}
  std::error_code GetLineSettings(platform::LineSettings&) override { return Error(); }
  std::error_code SetLineSettings(const platform::LineSettings&) override { return Error(); }
  void SetImmediateTimeouts() override {}
  void SetDTR() override {}
  void Purge(bool, bool) override {}
  size_t Read(uint8_t*, size_t, std::error_code& ec) override {
    ++calls;
    if (case_.read_fails) ec = Error();
    return 0;
  }
  std::error_code Write(const uint8_t*, size_t) override {
    ++calls;
    return case_.write_fails ? Error() : std::error_code{};
  }
  platform::WaitResult WaitReadable(int64_t timeout_ms) override {
    // A loop that spins on this port never lets the virtual time move: after far more calls than
    // any wait needs, time jumps so that the test fails on the count instead of hanging.
    if (++calls > kSpinCalls) clock_.SleepMs(1000);
    // A wait that reports input or a failure returns at once; only a time-out takes its time.
    if (case_.wait == platform::WaitResult::kTimeout) clock_.SleepMs(timeout_ms);
    return case_.wait;
  }

  static constexpr int kSpinCalls = 100000;
  int calls = 0;

 private:
  std::error_code Error() const {
    return {case_.error, case_.win32 ? std::system_category() : std::generic_category()};
  }
  const GoneCase& case_;
  platform::fake::VirtualClock& clock_;
};

class GonePlatform final : public platform::SerialPlatform {
 public:
  GonePlatform(const GoneCase& c, platform::fake::VirtualClock& clock) : case_(c), clock_(clock) {}
  bool Probe(int n) override { return n == 1; }
  std::unique_ptr<platform::SerialPort> Open(int n, std::error_code& ec) override {
    if (n != 1) {
      ec = std::make_error_code(std::errc::no_such_device);
      return nullptr;
    }
    auto port = std::make_unique<GonePort>(case_, clock_);
    last = port.get();
    return port;
  }
  std::string DevicePath(int) const override { return "gone"; }

  GonePort* last = nullptr;

 private:
  const GoneCase& case_;
  platform::fake::VirtualClock& clock_;
};

TEST(PortGone, FailingPortBehavesLikeASilentDevice) {
  using platform::WaitResult;
  const GoneCase cases[] = {
      {"read EIO, wait failed", EIO, false, true, true, WaitResult::kFailed},
      {"read ENXIO, wait failed", ENXIO, false, true, true, WaitResult::kFailed},
      {"write EIO only", EIO, false, false, true, WaitResult::kTimeout},
      {"read EIO, wait says readable", EIO, false, true, false, WaitResult::kReadable},
      {"read ENXIO, wait says readable", ENXIO, false, true, true, WaitResult::kReadable},
      {"EOF reads, wait says readable", EIO, false, false, false, WaitResult::kReadable},
      {"Win32 access denied, wait failed", kWin32AccessDenied, true, true, true,
       WaitResult::kFailed},
      {"Win32 bad command, wait failed", kWin32BadCommand, true, true, true, WaitResult::kFailed},
      {"Win32 bad command, wait says readable", kWin32BadCommand, true, true, true,
       WaitResult::kReadable},
  };
  for (const GoneCase& c : cases) {
    SCOPED_TRACE(c.name);
    platform::fake::VirtualClock clock;
    GonePlatform gone(c, clock);
    test::RecordingMessages messages;
    platform::NullMessagePump pump;
    TKV_RS link(gone, messages, clock, pump);
    link.SetActive(true);
    ASSERT_TRUE(link.PortOpen);

    EXPECT_EQ(FailureOf(link), texts::kNoLink);
    // Three first-byte waits of 100 ms (each ends 1 ms past its deadline) and two 50 ms pauses.
    EXPECT_EQ(clock.NowMs(), 3 * 101 + 2 * TKV_RS::kRetryPauseMs);
    // At most a read and a wait per millisecond of waiting, as a polling loop with a 1 ms pause
    // makes; a loop spinning on the failed port would never let the virtual time move at all.
    EXPECT_LE(gone.last->calls, 3 * clock.NowMs());
    EXPECT_TRUE(messages.shown.empty());
  }
}

#ifndef _WIN32
// The far end of a pseudo-terminal, held by the test: the tool opens the slave as its port.
class PtyFarEnd {
 public:
  PtyFarEnd() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    const char* name = ::ptsname(master_);
    if (name) slave_path_ = name;
  }
  ~PtyFarEnd() { Close(); }
  void Close() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  const std::string& SlavePath() const { return slave_path_; }

 private:
  int master_ = -1;
  std::string slave_path_;
};

int64_t ThreadCpuMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

TEST(PortGone, PtyWhoseFarEndClosedCostsWaitingTimeNotCpu) {
  PtyFarEnd far_end;
  ASSERT_FALSE(far_end.SlavePath().empty()) << "no pseudo-terminal";
  platform::TableSerialPlatform serial(platform::PortTable::SinglePath(far_end.SlavePath()));
  test::RecordingMessages messages;
  platform::NullMessagePump pump;
  platform::Clock& clock = platform::SystemClock();
  TKV_RS link(serial, messages, clock, pump);
  link.SetActive(true);
  ASSERT_TRUE(link.PortOpen) << far_end.SlavePath();

  far_end.Close();  // the cable is pulled: the slave is hung up, its reads and writes fail
  const int64_t wall_start = clock.NowMs();
  const int64_t cpu_start = ThreadCpuMs();
  EXPECT_EQ(FailureOf(link), texts::kNoLink);
  const int64_t wall = clock.NowMs() - wall_start;
  const int64_t cpu = ThreadCpuMs() - cpu_start;

  // The three waits and two pauses of a silent device, with room for a loaded machine.
  EXPECT_GE(wall, 3 * 100 + 2 * TKV_RS::kRetryPauseMs);
  EXPECT_LT(wall, 3000);
  // Waiting, not spinning: the waits cost next to no CPU, where a loop polling the hung-up port
  // burns its whole share of the machine for the 400 ms (even a loaded machine gives it more
  // than this).
  EXPECT_LT(cpu, 50) << "cpu " << cpu << " ms of " << wall << " ms";

  // Re-opening the port whose node is gone leaves it closed; the next exchange is silent too.
  link.SetActive(true);
  EXPECT_EQ(FailureOf(link), texts::kNoLink);
}

#endif  // !_WIN32

}  // namespace
}  // namespace qv
