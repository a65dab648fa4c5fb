#pragma once

#include <array>
#include <cstdint>

#include "link/KV_BD.h"

namespace qv {

// The link's one frame buffer and the frame codec. A frame on the wire is
//   length (whole frame modulo 256), address, header word (1), command, payload..., checksum
// with multi-byte fields little-endian and a checksum that makes the 8-bit sum of the frame 0.
// The transmit area (bytes 0..2047) holds the request being built; the receive area
// (bytes 2048..4095) the last reply, so a retry can resend the sealed request unchanged.
class TKVBaseInterface : public TKVBaseDevice {
 public:
  static constexpr int kFrameBufferSize = 4096;
  static constexpr int kRxBase = 2048;
  // The longest frame the length byte can describe (256 is carried as 0).
  static constexpr int kMaxFrame = 256;

  virtual bool CheckReply();
  virtual void ClearFrame();
  virtual void SealFrame();
  virtual void PutByte(uint8_t value);
  virtual void PutWord(uint16_t value);
  virtual void PutDWord(uint32_t value);
  virtual uint8_t GetByte();
  virtual uint16_t GetWord();
  virtual void StartRequest(uint8_t address, uint8_t command);
  virtual void Transact() = 0;
  virtual void Request(uint8_t address, uint8_t command);

  // Receive area byte at receive position i.
  uint8_t& Rx(int i) { return FrameBuffer[kRxBase + i]; }
  // Payload bytes of the last complete reply not yet read by Get operations.
  int UnreadPayload() const { return RxLength >= 6 ? RxLength - 1 - RxIndex : 0; }

  std::array<uint8_t, kFrameBufferSize> FrameBuffer{};
  int32_t TxLength = 0;
  int32_t RxIndex = 0;
  // Length of the last complete reply frame in the receive area; 0 before the first one.
  int32_t RxLength = 0;
};

}  // namespace qv
