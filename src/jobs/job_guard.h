#pragma once

#include <functional>
#include <optional>

namespace qv {

// Keeps a second job off the link while one runs. Every job holds a JobGuard::Hold for its whole
// run; the views ask Busy() (or register OnChange) to disable the job buttons, and a job started
// while another runs is refused before it touches the link. One thread: no locking needed.
class JobGuard {
 public:
  // Held while a job runs; releasing it (destruction) frees the link for the next job.
  class Hold {
   public:
    Hold(Hold&& other) noexcept : guard_(other.guard_) { other.guard_ = nullptr; }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    Hold& operator=(Hold&&) = delete;
    ~Hold() {
      if (guard_) guard_->SetBusy(false);
    }

   private:
    friend class JobGuard;
    explicit Hold(JobGuard& guard) : guard_(&guard) {}
    JobGuard* guard_;
  };

  bool Busy() const { return busy_; }
  // Called with the new state whenever a job starts or ends.
  void OnChange(std::function<void(bool busy)> listener) { listener_ = std::move(listener); }

  // Starts a job: nothing when one is running already, and then the caller must not go on.
  [[nodiscard]] std::optional<Hold> TryStart() {
    if (busy_) return std::nullopt;
    SetBusy(true);
    return Hold(*this);
  }

 private:
  void SetBusy(bool busy) {
    busy_ = busy;
    if (listener_) listener_(busy);
  }

  bool busy_ = false;
  std::function<void(bool)> listener_;
};

}  // namespace qv
