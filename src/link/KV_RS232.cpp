#include "link/KV_RS232.h"

#include <algorithm>

#include "common/exception.h"
#include "common/rounding.h"
#include "link/link_texts.h"

namespace qv {

TKV_RS::TKV_RS(platform::SerialPlatform& platform, Messages& messages, platform::Clock& clock,
               platform::MessagePump& pump)
    : TKV_RS_Base(platform, messages), clock_(clock), pump_(&pump) {
  BaudRate = 115200;
  DataBits = 8;
  Parity = 0;
  StopBits = 2;
  ReplyTimeout = 1000;
  ByteTimeout = 200;
  SectionName = "RS232";
}

void TKV_RS::StartRequest(uint8_t address, uint8_t command) {
  ClearFrame();
  PutByte(address);
  PutWord(1);
  PutByte(command);
}

void TKV_RS::Request(uint8_t address, uint8_t command) {
  StartRequest(address, command);
  Transact();
}

void TKV_RS::Transact() {
  SealFrame();
  // Every attempt sends the same sealed bytes; only the third failure reaches the caller.
  for (int attempt = 1;; ++attempt) {
    try {
      Exchange();
      RxIndex = 5;
      return;
    } catch (...) {
      if (attempt == kAttempts) throw;
    }
    clock_.SleepMs(kRetryPauseMs);
  }
}

void TKV_RS::Exchange() {
  SendFrame();
  ReceiveReply();
  if (Rx(1) == 0 && Rx(2) == 0 && Rx(3) == 0) throw Exception(texts::kHeaderError);
  if (Rx(4) == 255) throw Exception(texts::kBusy);
}

void TKV_RS::SendFrame() {
  size_t count = FrameBuffer[0] == 0 ? 256 : FrameBuffer[0];
  if (!PortHandle) return;
  // Late bytes of an earlier attempt are dropped here, so they are never taken for this reply.
  // One call discards the receive queue, then the transmit queue.
  PortHandle->Purge(true, true);
  // A write that fails shows up as a missing reply.
  (void)PortHandle->Write(FrameBuffer.data(), count);
}

int64_t TKV_RS::TransmissionAllowance() const {
  if (BaudRate == 0) return 0;
  return RoundHalfEven(9600.0 / BaudRate * TxLength);
}

bool TKV_RS::WaitForInput(int64_t now, int64_t deadline, bool port_failed) {
  // The time counts as run out once it is later than the deadline, so wait until just past it.
  int64_t remaining = deadline - now + 1;
  int64_t cap = pump_->MaxBlockMs();
  if (cap >= 0) remaining = std::min(remaining, std::max<int64_t>(cap, 1));
  if (PortHandle && !port_failed) {
    platform::WaitResult result = PortHandle->WaitReadable(remaining);
    if (result != platform::WaitResult::kFailed) return result == platform::WaitResult::kReadable;
  }
  // A closed or failed port cannot wake us: it behaves like a silent device, so sleep instead of
  // spinning on a wait that returns at once.
  clock_.SleepMs(remaining);
  return false;
}

size_t TKV_RS::ReadWithin(uint8_t* dst, size_t want, int64_t deadline, bool wait_first) {
  bool port_failed = false;
  bool woke_for_nothing = false;
  bool read_now = !wait_first;
  for (;; read_now = true) {
    if (PortHandle && read_now) {
      std::error_code ec;
      size_t got = PortHandle->Read(dst, want, ec);
      if (got > 0) return got;
      // A read that fails means the device has gone: from now on it is a silent device.
      if (ec) port_failed = true;
    }
    int64_t now = clock_.NowMs();
    pump_->ProcessMessages();
    if (now > deadline) return 0;
    if (woke_for_nothing) {
      // The wait said input was there and the read found none, as on a port hung up at its far
      // end: pause a millisecond, as a polling loop would, rather than spin on the wait.
      woke_for_nothing = false;
      clock_.SleepMs(1);
      continue;
    }
    woke_for_nothing = WaitForInput(now, deadline, port_failed);
  }
}

void TKV_RS::ReceiveReply() {
  uint8_t* rx = &Rx(0);
  int64_t deadline = clock_.NowMs() + ReplyTimeout + TransmissionAllowance();
  // No reply is shorter than kMinReply bytes, so reading that many can never take a byte that
  // belongs behind the frame; the length byte is then judged on its own.
  int received = static_cast<int>(ReadWithin(rx, kMinReply, deadline, true));
  if (received == 0) throw Exception(texts::kNoLink);

  int n = rx[0];
  if (n < kMinReply) throw Exception(texts::kNoLink);

  // The rest of the frame, and not a byte more: surplus stays queued until the next purge.
  // Each later byte must come within ByteTimeout of the one before it.
  while (received < n) {
    int64_t byte_deadline = clock_.NowMs() + ByteTimeout;
    size_t got = ReadWithin(rx + received, static_cast<size_t>(n - received), byte_deadline, false);
    if (got == 0) throw Exception(texts::kByteTimeout);
    received += static_cast<int>(got);
  }
  if (!CheckReply()) throw Exception(texts::kChecksumError);
  RxLength = n;
}

}  // namespace qv
