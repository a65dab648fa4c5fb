#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "link/KV_RS232.h"
#include "platform/fake/fake_serial.h"
#include "support/recording_messages.h"

namespace qv::test {

// A whole frame from the bytes after the length byte: length and checksum added.
inline std::vector<uint8_t> MakeFrame(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> frame;
  frame.push_back(static_cast<uint8_t>((body.size() + 2) % 256));
  frame.insert(frame.end(), body.begin(), body.end());
  uint8_t sum = 0;
  for (uint8_t b : frame)
    sum = static_cast<uint8_t>(sum + b);
  frame.push_back(static_cast<uint8_t>(256 - sum));
  return frame;
}

// A reply from the device at 244 with the given command byte and payload.
inline std::vector<uint8_t> MakeReply(uint8_t command, const std::vector<uint8_t>& payload = {}) {
  std::vector<uint8_t> body = {0xF4, 0x01, 0x00, command};
  body.insert(body.end(), payload.begin(), payload.end());
  return MakeFrame(body);
}

// The link on a virtual clock with the given COM ports present, COM1 by default.
struct LinkFixture {
  explicit LinkFixture(std::vector<int> ports = {1}) {
    for (int n : ports)
      platform.AddPort(n);
    link = std::make_unique<TKV_RS>(platform, messages, clock, pump);
  }
  platform::fake::FakeLine& Line(int n = 1) { return *platform.Line(n); }

  platform::fake::VirtualClock clock;
  platform::fake::FakeSerialPlatform platform{clock};
  RecordingMessages messages;
  platform::NullMessagePump pump;
  std::unique_ptr<TKV_RS> link;
};

}  // namespace qv::test
