#include "platform/fake/fake_serial.h"

#include <algorithm>

namespace qv::platform::fake {
namespace {

class FakeSerialPort final : public SerialPort {
 public:
  explicit FakeSerialPort(FakeLine& line) : line_(line) {
    line_.opens++;
    line_.is_open = true;
  }
  ~FakeSerialPort() override {
    line_.closes++;
    line_.is_open = false;
  }

  void SetQueueSizes(uint32_t rx, uint32_t tx) override {
    line_.rx_queue = rx;
    line_.tx_queue = tx;
  }
  std::error_code GetLineSettings(LineSettings& settings) override {
    if (line_.failed) return std::make_error_code(std::errc::io_error);
    settings = line_.settings;
    return {};
  }
  std::error_code SetLineSettings(const LineSettings& settings) override {
    if (line_.failed) return std::make_error_code(std::errc::io_error);
    line_.settings = settings;
    if (line_.driver_baud) line_.settings.baud_rate = *line_.driver_baud;
    return {};
  }
  void SetImmediateTimeouts() override { line_.immediate_timeouts = true; }
  void SetDTR() override { line_.dtr_raised++; }
  void Purge(bool rx, bool tx) override {
    if (rx) {
      line_.rx_purges++;
      line_.DropArrived();
    }
    if (tx) line_.tx_purges++;
  }
  size_t Read(uint8_t* buffer, size_t max, std::error_code& ec) override {
    if (line_.failed) {
      ec = std::make_error_code(std::errc::io_error);
      return 0;
    }
    return line_.TakeArrived(buffer, max);
  }
  std::error_code Write(const uint8_t* data, size_t size) override {
    if (line_.failed) return std::make_error_code(std::errc::io_error);
    line_.HostWrite(data, size);
    return {};
  }
  WaitResult WaitReadable(int64_t timeout_ms) override {
    if (line_.failed) return WaitResult::kFailed;
    VirtualClock& clock = line_.Clock();
    auto next = line_.NextArrival();
    int64_t now = clock.NowMs();
    if (next && *next <= now) return WaitResult::kReadable;
    int64_t limit = now + std::max<int64_t>(timeout_ms, 0);
    if (next && *next <= limit) {
      clock.AdvanceTo(*next);
      return WaitResult::kReadable;
    }
    clock.AdvanceTo(limit);
    return WaitResult::kTimeout;
  }

 private:
  FakeLine& line_;
};

}  // namespace

void FakeLine::Deliver(int64_t at_ms, const uint8_t* data, size_t size) {
  // Keep the queue ordered by arrival time; bytes of one time keep their order.
  for (size_t i = 0; i < size; ++i) {
    auto pos = std::upper_bound(queue_.begin(), queue_.end(), at_ms,
                                [](int64_t t, const Timed& e) { return t < e.at; });
    queue_.insert(pos, Timed{at_ms, data[i]});
  }
}

size_t FakeLine::TakeArrived(uint8_t* buffer, size_t max) {
  size_t n = 0;
  int64_t now = clock_.NowMs();
  while (n < max && !queue_.empty() && queue_.front().at <= now) {
    buffer[n++] = queue_.front().byte;
    queue_.pop_front();
  }
  return n;
}

std::optional<int64_t> FakeLine::NextArrival() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.front().at;
}

void FakeLine::DropArrived() {
  int64_t now = clock_.NowMs();
  while (!queue_.empty() && queue_.front().at <= now)
    queue_.pop_front();
}

void FakeLine::HostWrite(const uint8_t* data, size_t size) {
  writes.emplace_back(data, data + size);
  write_times.push_back(clock_.NowMs());
  if (peer_) peer_->OnHostWrite(data, size, clock_.NowMs(), *this);
}

FakeLine& FakeSerialPlatform::AddPort(int n) {
  lines_[n] = std::make_unique<FakeLine>(clock_);
  return *lines_[n];
}

bool FakeSerialPlatform::Probe(int n) {
  probes++;
  FakeLine* line = Line(n);
  return line && line->present && !line->held_elsewhere && !line->is_open;
}

std::unique_ptr<SerialPort> FakeSerialPlatform::Open(int n, std::error_code& ec) {
  FakeLine* line = Line(n);
  if (!line || !line->present) {
    ec = std::make_error_code(std::errc::no_such_file_or_directory);
    return nullptr;
  }
  if (line->held_elsewhere || line->is_open) {
    ec = std::make_error_code(std::errc::device_or_resource_busy);
    return nullptr;
  }
  return std::make_unique<FakeSerialPort>(*line);
}

}  // namespace qv::platform::fake
