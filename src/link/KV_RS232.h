#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/message_pump.h"
#include "port/KV_RS_Base.h"

namespace qv {

// The request/reply engine: builds the frame header, seals the request, sends it, waits for the
// reply under two time-outs, validates it and tries up to three times. Every failure is raised as
// Exception with one of the link's texts (link_texts.h).
//
// Waiting is event-driven: the engine blocks on the port's readability (poll on POSIX, an
// overlapped wait on Win32) instead of sleeping between reads, so a reply byte is taken the
// moment it arrives, while the message pump still runs during every wait.
class TKV_RS : public TKV_RS_Base {
 public:
  static constexpr int kAttempts = 3;
  static constexpr int64_t kRetryPauseMs = 50;
  static constexpr int kMinReply = 6;

  TKV_RS(platform::SerialPlatform& platform, Messages& messages, platform::Clock& clock,
         platform::MessagePump& pump);

  void StartRequest(uint8_t address, uint8_t command) override;
  void Transact() override;
  void Request(uint8_t address, uint8_t command) override;

  virtual void ReceiveReply();
  virtual void SendFrame();
  virtual void Exchange();

  // Milliseconds allowed for sending the request: 9600 / BaudRate × TxLength, rounded half to
  // even (2 ms for 5 bytes at 19200 baud, 38 ms for 38 bytes at 9600).
  int64_t TransmissionAllowance() const;

  platform::Clock& Clock() { return clock_; }
  void SetMessagePump(platform::MessagePump& pump) { pump_ = &pump; }

  uint16_t ByteTimeout = 200;
  uint16_t ReplyTimeout = 1000;

 private:
  // Reads up to `want` bytes to dst, waiting until at least one has come or the time is later
  // than deadline; returns how many came (0: the deadline passed). With wait_first the port is
  // not read before the first wait (right after a send nothing can have come yet).
  size_t ReadWithin(uint8_t* dst, size_t want, int64_t deadline, bool wait_first);
  // Blocks until input may be there or until just past the deadline, whichever is first; a
  // failed port is only slept on. Returns whether the port said input was there.
  bool WaitForInput(int64_t now, int64_t deadline, bool port_failed);

  platform::Clock& clock_;
  platform::MessagePump* pump_;
};

}  // namespace qv
