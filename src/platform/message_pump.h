#pragma once

#include <cstdint>

namespace qv::platform {

// Lets the application process its pending window messages while the device link waits, so that
// the windows keep painting and a Cancel click arrives. The CLI and the tests use NullMessagePump.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Processes every pending window message and returns.
  virtual void ProcessMessages() = 0;
  // The longest a wait for port input may block before ProcessMessages must run again, in
  // milliseconds; negative when the port's wait wakes for window messages by itself (Win32) or
  // when there are no windows at all.
  virtual int64_t MaxBlockMs() const { return -1; }
};

class NullMessagePump final : public MessagePump {
 public:
  void ProcessMessages() override {}
};

}  // namespace qv::platform
