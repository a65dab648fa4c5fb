#include "sim/in_process_device.h"

#include <algorithm>

namespace qv::sim {
namespace {

// A byte is there once it has fully arrived: the first whole millisecond at or after that.
int64_t CeilMs(int64_t us) {
  return us >= 0 ? (us + 999) / 1000 : -((-us) / 1000);
}

}  // namespace

InProcessPeer::InProcessPeer(SimDevice& device, platform::fake::FakeLine& line)
    : device_(device), line_(line) {
  line_.SetPeer(this);
}

InProcessPeer::~InProcessPeer() {
  line_.SetPeer(nullptr);
}

void InProcessPeer::OnHostWrite(const uint8_t* data, size_t size, int64_t now,
                                platform::fake::FakeLine& line) {
  const Pacing& pacing = device_.pacing;
  const int64_t write_us = now * 1000;
  for (size_t i = 0; i < size && !unplugged_; ++i) {
    // Request bytes take wire time too; the device answers only a fully arrived frame.
    int64_t arrived_us = write_us + pacing.BytesUs(i + 1);
    if (!assembler_.Push(data[i], CeilMs(arrived_us))) continue;
    // The device answers one request at a time: a frame that came while it was still
    // sending waits for the end of that reply.
    int64_t start_us = std::max(arrived_us, busy_until_us_);
    device_.Respond(assembler_.Frame(), assembler_.FrameSize(), reply_);
    if (reply_.unplug) {
      Unplug();
      if (reply_.replug_ms > 0) replug_at_ = CeilMs(start_us) + reply_.replug_ms;
      break;
    }
    int64_t first_us = start_us + reply_.delay_ms * 1000;
    for (size_t j = 0; j < reply_.bytes.size(); ++j) {
      int64_t at_us = first_us + pacing.BytesUs(j + 1);
      line.Deliver(CeilMs(at_us), &reply_.bytes[j], 1);
    }
    busy_until_us_ = first_us + pacing.BytesUs(reply_.bytes.size());
  }
}

void InProcessPeer::Tick(int64_t now) {
  if (unplugged_ && replug_at_ >= 0 && now >= replug_at_) Replug();
}

void InProcessPeer::Unplug() {
  unplugged_ = true;
  replug_at_ = -1;
  line_.failed = true;
  line_.present = false;
  assembler_.Reset();
}

void InProcessPeer::Replug() {
  unplugged_ = false;
  replug_at_ = -1;
  line_.failed = false;
  line_.present = true;
  assembler_.Reset();
}

// The fake platform, with the peer told the time before every probe and open, so that an
// unplugged device comes back when the link next looks for it after its re-plug time.
class InProcessDevice::TickingPlatform final : public platform::SerialPlatform {
 public:
  TickingPlatform(InProcessDevice& owner) : owner_(owner) {}

  bool Probe(int n) override {
    owner_.Peer().Tick(owner_.clock.NowMs());
    return owner_.fake_platform.Probe(n);
  }
  std::unique_ptr<platform::SerialPort> Open(int n, std::error_code& ec) override {
    owner_.Peer().Tick(owner_.clock.NowMs());
    return owner_.fake_platform.Open(n, ec);
  }
  std::string DevicePath(int n) const override { return owner_.fake_platform.DevicePath(n); }

 private:
  InProcessDevice& owner_;
};

InProcessDevice::InProcessDevice(int port) : port_(port) {
  platform::fake::FakeLine& line = fake_platform.AddPort(port);
  peer_ = std::make_unique<InProcessPeer>(device, line);
  platform_ = std::make_unique<TickingPlatform>(*this);
}

InProcessDevice::~InProcessDevice() = default;

}  // namespace qv::sim
