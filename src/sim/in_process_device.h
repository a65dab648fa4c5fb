#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "platform/fake/fake_serial.h"
#include "sim/sim_device.h"

namespace qv::sim {

// A simulated device behind a fake line: frames written by the host reach the SimDevice, and
// its replies are delivered at virtual times (pacing, device time and delays in virtual time).
// An unplug marks the line failed and absent; Replug() brings it back once its time has come.
class InProcessPeer final : public platform::fake::FakePeer {
 public:
  InProcessPeer(SimDevice& device, platform::fake::FakeLine& line);
  ~InProcessPeer() override;

  void OnHostWrite(const uint8_t* data, size_t size, int64_t now,
                   platform::fake::FakeLine& line) override;

  // Plugs the port back in when an unplug with a re-plug time is due at `now`.
  void Tick(int64_t now);
  bool Unplugged() const { return unplugged_; }
  // Unplugs or plugs the port by hand, as a test's cable would.
  void Unplug();
  void Replug();

 private:
  SimDevice& device_;
  platform::fake::FakeLine& line_;
  FrameAssembler assembler_;
  WireReply reply_;
  bool unplugged_ = false;
  int64_t replug_at_ = -1;
  int64_t busy_until_us_ = 0;
};

// Everything a test needs for the link on a simulated device: a virtual clock, a fake serial
// platform with the device on COMn (COM1 by default), the SimDevice and its peer.
//
//   qv::sim::InProcessDevice dev;
//   qv::TKV_RS link(dev.Platform(), messages, dev.clock, pump);
//
// Give the link Platform(), not fake_platform: it plugs an unplugged port back in when the
// link probes or opens it after the re-plug time.
class InProcessDevice {
 public:
  explicit InProcessDevice(int port = 1);
  ~InProcessDevice();
  InProcessDevice(const InProcessDevice&) = delete;
  InProcessDevice& operator=(const InProcessDevice&) = delete;

  // The serial platform to build the link on.
  platform::SerialPlatform& Platform() { return *platform_; }
  // Adds COMn with nothing attached (a port where no device answers).
  platform::fake::FakeLine& AddPort(int n) { return fake_platform.AddPort(n); }
  platform::fake::FakeLine& Line() { return *fake_platform.Line(port_); }
  DeviceModel& Model() { return device.Model(); }
  InProcessPeer& Peer() { return *peer_; }
  int Port() const { return port_; }

  platform::fake::VirtualClock clock;
  platform::fake::FakeSerialPlatform fake_platform{clock};
  SimDevice device;

 private:
  class TickingPlatform;
  int port_;
  std::unique_ptr<InProcessPeer> peer_;
  std::unique_ptr<platform::SerialPlatform> platform_;
};

}  // namespace qv::sim
