#include "apps/cli/connection_cancel.h"

#include <algorithm>

namespace qv::cli {

void ConnectionCancel::Enter(Phase phase) {
  if (phase_ == Phase::kConnecting) {
    if (Interrupted()) interrupted_while_connecting_ = true;
    if (TimedOut()) timed_out_while_connecting_ = true;
  }
  if (phase == phase_) return;
  phase_ = phase;
  if (listener_) listener_(phase);
}

void ConnectionCancel::BeginConnecting() {
  deadline_ = clock_.NowMs() + timeout_ms_;
  Enter(Phase::kConnecting);
}

void ConnectionCancel::BeginWorking() {
  Enter(Phase::kWorking);
}

void ConnectionCancel::Finish() {
  Enter(Phase::kIdle);
}

bool ConnectionCancel::TimedOut() const {
  return Connecting() && timeout_ms_ > 0 && clock_.NowMs() >= deadline_;
}

bool ConnectionCancel::ShouldStop() const {
  if (Connecting()) return Interrupted() || TimedOut();
  return interrupted_while_connecting_;
}

void InterruptibleClock::SleepMs(int64_t ms) {
  if (!cancel_.Connecting()) {
    base_.SleepMs(ms);
    return;
  }
  int64_t end = base_.NowMs() + ms;
  for (int64_t now = base_.NowMs(); now < end && !cancel_.ShouldStop(); now = base_.NowMs()) {
    base_.SleepMs(std::min(kSliceMs, end - now));
  }
}

}  // namespace qv::cli
