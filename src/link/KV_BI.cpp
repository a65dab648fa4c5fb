#include "link/KV_BI.h"

#include "common/exception.h"

namespace qv {

bool TKVBaseInterface::CheckReply() {
  unsigned n = FrameBuffer[kRxBase];
  uint8_t sum = 0;
  for (unsigned i = 0; i < n; ++i)
    sum = static_cast<uint8_t>(sum + FrameBuffer[kRxBase + i]);
  return sum == 0;
}

void TKVBaseInterface::ClearFrame() {
  TxLength = 1;
}

void TKVBaseInterface::SealFrame() {
  FrameBuffer[0] = static_cast<uint8_t>((TxLength + 1) % 256);
  uint8_t sum = 0;
  for (int i = 0; i < TxLength; ++i)
    sum = static_cast<uint8_t>(sum + FrameBuffer[i]);
  FrameBuffer[TxLength] = static_cast<uint8_t>(256 - sum);
}

void TKVBaseInterface::PutByte(uint8_t value) {
  // A frame longer than its length byte can describe would be sent wrong; no request of the
  // system comes near it, so reaching it is a fault in the caller.
  if (TxLength < 0 || TxLength >= kMaxFrame - 1) {
    throw Exception("Внутренняя ошибка: запрос длиннее 256 байт.");
  }
  FrameBuffer[TxLength] = value;
  ++TxLength;
}

void TKVBaseInterface::PutWord(uint16_t value) {
  PutByte(static_cast<uint8_t>(value & 0xFF));
  PutByte(static_cast<uint8_t>(value >> 8));
}

void TKVBaseInterface::PutDWord(uint32_t value) {
  for (int i = 0; i < 4; ++i)
    PutByte(static_cast<uint8_t>(value >> (8 * i)));
}

uint8_t TKVBaseInterface::GetByte() {
  // Past the receive area there is nothing to read: give 0 rather than read outside the buffer.
  uint8_t value = (RxIndex >= 0 && RxIndex < kFrameBufferSize - kRxBase) ? Rx(RxIndex) : 0;
  ++RxIndex;
  return value;
}

uint16_t TKVBaseInterface::GetWord() {
  auto at = [this](int i) -> uint16_t {
    return (i >= 0 && i < kFrameBufferSize - kRxBase) ? Rx(i) : 0;
  };
  uint16_t value = static_cast<uint16_t>(at(RxIndex) | (at(RxIndex + 1) << 8));
  RxIndex += 2;
  return value;
}

void TKVBaseInterface::StartRequest(uint8_t, uint8_t) {}

void TKVBaseInterface::Request(uint8_t, uint8_t) {}

}  // namespace qv
