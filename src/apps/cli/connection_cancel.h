#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace qv::cli {

// The phases of a command that talks to the device, as the progress dialog shows them.
enum class Phase {
  kIdle,        // no progress dialog: before the job shows it, or after it is gone
  kConnecting,  // the Cancel button is visible: Ctrl-C or the time limit stops the job
  kWorking,     // the device has answered and the job works on it: it is not cut off half-way
};

// When the connection phase of a command must stop: on Ctrl-C, or when --connect-timeout has
// run out.
class ConnectionCancel {
 public:
  // timeout_ms 0: no time limit, only Ctrl-C stops the connection phase.
  ConnectionCancel(platform::Clock& clock, const std::atomic<bool>& interrupted, int64_t timeout_ms)
      : clock_(clock), interrupted_(interrupted), timeout_ms_(timeout_ms) {}

  // The connection phase begins: the time limit counts from now.
  void BeginConnecting();
  // The device has answered. A Ctrl-C that came before stays seen; later ones are not.
  void BeginWorking();
  // The progress dialog is gone.
  void Finish();

  // Told of every change of phase.
  void SetPhaseListener(std::function<void(Phase)> listener) { listener_ = std::move(listener); }

  Phase CurrentPhase() const { return phase_; }
  bool Connecting() const { return phase_ == Phase::kConnecting; }
  bool Interrupted() const { return interrupted_.load(); }
  bool TimedOut() const;
  // Whether the job should stop: while connecting on Ctrl-C or time-out; after that only when
  // Ctrl-C came while the job was still connecting.
  bool ShouldStop() const;
  // Whether the time limit ran out while the job was still connecting.
  bool RanOutOfTime() const { return timed_out_while_connecting_ || TimedOut(); }

 private:
  void Enter(Phase phase);

  platform::Clock& clock_;
  const std::atomic<bool>& interrupted_;
  int64_t timeout_ms_;
  int64_t deadline_ = 0;
  Phase phase_ = Phase::kIdle;
  bool interrupted_while_connecting_ = false;
  bool timed_out_while_connecting_ = false;
  std::function<void(Phase)> listener_;
};

// The clock that the link and the jobs use: the system clock, except that a sleep during the
// connection phase ends early once that phase must stop, so Ctrl-C during the 3000 ms pause
// between connection attempts takes effect at once.
class InterruptibleClock final : public platform::Clock {
 public:
  // How often a long sleep looks at the stop condition.
  static constexpr int64_t kSliceMs = 10;

  InterruptibleClock(platform::Clock& base, const ConnectionCancel& cancel)
      : base_(base), cancel_(cancel) {}

  int64_t NowMs() override { return base_.NowMs(); }
  void SleepMs(int64_t ms) override;

 private:
  platform::Clock& base_;
  const ConnectionCancel& cancel_;
};

}  // namespace qv::cli
