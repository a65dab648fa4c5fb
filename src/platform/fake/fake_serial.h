#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace qv::platform::fake {

// A clock that moves only when told: sleeps and port waits advance it, so time-outs can be
// checked to the millisecond without waiting.
class VirtualClock final : public Clock {
 public:
  int64_t NowMs() override { return now_; }
  void SleepMs(int64_t ms) override {
    if (ms > 0) now_ += ms;
    slept_ms_ += ms > 0 ? ms : 0;
  }
  void AdvanceTo(int64_t t) {
    if (t > now_) now_ = t;
  }
  int64_t SleptMs() const { return slept_ms_; }

 private:
  int64_t now_ = 0;
  int64_t slept_ms_ = 0;
};

class FakeLine;

// The far end of a fake line: sees every write of the host and answers through the line.
class FakePeer {
 public:
  virtual ~FakePeer() = default;
  virtual void OnHostWrite(const uint8_t* data, size_t size, int64_t now, FakeLine& line) = 0;
};

// A peer made of a function, for tests that script the answers by hand.
class FunctionPeer final : public FakePeer {
 public:
  using Handler = std::function<void(const std::vector<uint8_t>& written, int64_t now, FakeLine&)>;
  explicit FunctionPeer(Handler handler) : handler_(std::move(handler)) {}
  void OnHostWrite(const uint8_t* data, size_t size, int64_t now, FakeLine& line) override {
    handler_(std::vector<uint8_t>(data, data + size), now, line);
  }

 private:
  Handler handler_;
};

// One port's wire and driver state, as the tests see it.
class FakeLine {
 public:
  explicit FakeLine(VirtualClock& clock) : clock_(clock) {}

  // Bytes that reach the host's receive queue at virtual time at_ms.
  void Deliver(int64_t at_ms, const uint8_t* data, size_t size);
  void Deliver(int64_t at_ms, const std::vector<uint8_t>& data) {
    Deliver(at_ms, data.data(), data.size());
  }
  void SetPeer(FakePeer* peer) { peer_ = peer; }

  // Test controls.
  bool present = true;                  // the device node exists
  bool held_elsewhere = false;          // another program has it open: probe and open fail
  bool failed = false;                  // the device has gone away: reads, writes and waits fail
  std::optional<uint32_t> driver_baud;  // the rate the driver takes whatever is asked

  // What the host did, for assertions.
  std::vector<std::vector<uint8_t>> writes;
  std::vector<int64_t> write_times;
  LineSettings settings{};
  int opens = 0;
  int closes = 0;
  int rx_purges = 0;
  int tx_purges = 0;
  int dtr_raised = 0;
  bool immediate_timeouts = false;
  uint32_t rx_queue = 0;
  uint32_t tx_queue = 0;
  bool is_open = false;

  // Host side, used by FakeSerialPort.
  size_t TakeArrived(uint8_t* buffer, size_t max);
  std::optional<int64_t> NextArrival() const;
  void DropArrived();
  void HostWrite(const uint8_t* data, size_t size);
  VirtualClock& Clock() { return clock_; }
  size_t Pending() const { return queue_.size(); }

 private:
  struct Timed {
    int64_t at;
    uint8_t byte;
  };
  VirtualClock& clock_;
  FakePeer* peer_ = nullptr;
  std::deque<Timed> queue_;
};

// COM ports whose existence and answers the test decides.
class FakeSerialPlatform final : public SerialPlatform {
 public:
  explicit FakeSerialPlatform(VirtualClock& clock) : clock_(clock) {}

  // Makes COMn exist; returns its line.
  FakeLine& AddPort(int n);
  void RemovePort(int n) { lines_[n].reset(); }
  FakeLine* Line(int n) { return (n >= 1 && n <= kMaxPort) ? lines_[n].get() : nullptr; }

  bool Probe(int n) override;
  std::unique_ptr<SerialPort> Open(int n, std::error_code& ec) override;
  std::string DevicePath(int n) const override { return "fake:COM" + std::to_string(n); }

  int probes = 0;

 private:
  VirtualClock& clock_;
  std::array<std::unique_ptr<FakeLine>, kMaxPort + 1> lines_;
};

}  // namespace qv::platform::fake
