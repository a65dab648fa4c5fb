#pragma once

#include "platform/message_pump.h"

namespace qv::qt {

// Lets Qt deliver its pending events while the link waits for reply bytes, so that the windows
// repaint and a Cancel click is seen. The link's waits block at most MaxBlockMs between two runs.
class QtMessagePump final : public platform::MessagePump {
 public:
  void ProcessMessages() override;
  int64_t MaxBlockMs() const override { return 10; }
};

}  // namespace qv::qt
