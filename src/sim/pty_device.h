#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "sim/sim_device.h"

namespace qv::sim {

// Serves a SimDevice on a pseudo-terminal from a background thread: the tool opens the slave
// side as if it were the device's serial port. Delays and pacing run in real time.
//
// The simulator keeps a slave descriptor of its own open, so that the tool closing its port
// between jobs does not hang up the master. An unplug closes the master (the tool's reads and
// writes fail, as with a device pulled from USB); a re-plug opens a new pty, whose slave path
// differs, and moves the symlink when one was asked for.
class PtyDevice {
 public:
  struct Options {
    // A symlink to the slave, kept pointing at the current pty; empty: none.
    std::string link_path;
    // Called on the device thread, with the device locked, after every request.
    std::function<void(const RequestRecord&, const WireReply&)> on_request;
    // Called on the device thread, with the device locked, after a re-plug with the new slave
    // path.
    std::function<void(const std::string&)> on_replug;
  };

  explicit PtyDevice(SimDevice device = SimDevice{}, Options options = {});
  ~PtyDevice();
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;

  // Opens the pty (and the symlink) and starts serving. Returns the OS error on failure.
  std::error_code Start();
  // Stops serving, closes the pty and removes the symlink. Also done by the destructor.
  void Stop();

  // The slave's path now (/dev/pts/N); it changes at a re-plug.
  std::string SlavePath() const;
  bool Plugged() const;
  // Pulls the cable (closes the master) and puts it back (a new pty), from any thread.
  void Unplug(int64_t replug_after_ms = 0);
  void Replug();

  // Runs f(device) with the device locked; use it for every look at the model from a test.
  template <typename F>
  auto With(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(device_);
  }

 private:
  void Run();
  // Reads what the master has, assembles frames and answers each; false when the master is
  // gone.
  bool Serve(int64_t now_us);
  // Sends a reply after its delay, paced; returns false when the device was stopped meanwhile.
  bool SendReply(const WireReply& reply, int64_t arrived_us);
  // Waits until `until_us` or a wake-up; returns false when stopping.
  bool SleepUntil(int64_t until_us);
  std::error_code OpenPty();
  void ClosePty();
  void Wake();

  SimDevice device_;
  Options options_;
  mutable std::mutex mutex_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> unplug_requested_{false};
  std::atomic<bool> replug_requested_{false};
  std::atomic<int64_t> replug_after_ms_{0};
  int64_t replug_at_us_ = -1;
  int master_ = -1;
  int held_slave_ = -1;
  int wake_[2] = {-1, -1};
  std::string slave_path_;
  FrameAssembler assembler_;
  WireReply reply_;
  int64_t first_byte_us_ = -1;
};

}  // namespace qv::sim
