#include "link/device_commands.h"

#include "common/exception.h"
#include "link/KV_RS232.h"
#include "link/link_texts.h"

namespace qv::device {
namespace {

void RequirePayload(TKV_RS& link, size_t bytes) {
  if (link.UnreadPayload() < static_cast<int>(bytes)) throw Exception(texts::kShortReply);
}

}  // namespace

Identity Identify(TKV_RS& link) {
  link.ReplyTimeout = timeout::kIdentify;
  link.Request(kAddress, kIdentify);
  RequirePayload(link, 3);
  Identity id;
  id.type = link.GetByte();
  id.version = link.GetWord();
  return id;
}

void PageChunk(TKV_RS& link, uint8_t index, const uint8_t* data) {
  link.ReplyTimeout = timeout::kPageChunk;
  link.StartRequest(kAddress, kPageChunk);
  link.PutByte(index);
  for (size_t i = 0; i < kChunkBytes; ++i)
    link.PutByte(data[i]);
  link.Transact();
}

PageStatus ProgramPage(TKV_RS& link, uint32_t address) {
  link.ReplyTimeout = timeout::kProgramPage;
  link.StartRequest(kAddress, kProgramPage);
  link.PutDWord(address);
  link.Transact();
  RequirePayload(link, 2);
  PageStatus status;
  status.flags = link.GetByte();
  status.code = link.GetByte();
  return status;
}

void ReadBlock(TKV_RS& link, uint16_t block, uint8_t* out, size_t count, uint16_t reply_timeout) {
  link.ReplyTimeout = reply_timeout;
  link.StartRequest(kAddress, kReadBlock);
  link.PutWord(block);
  link.Transact();
  RequirePayload(link, count);
  for (size_t i = 0; i < count; ++i)
    out[i] = link.GetByte();
}

void BeginArea(TKV_RS& link, uint16_t start, uint16_t length, uint16_t reply_timeout) {
  link.ReplyTimeout = reply_timeout;
  link.StartRequest(kAddress, kBeginArea);
  link.PutWord(start);
  link.PutWord(length);
  link.Transact();
}

void WriteChunk(TKV_RS& link, uint16_t index, const uint8_t* data, uint16_t count,
                uint16_t reply_timeout) {
  link.ReplyTimeout = reply_timeout;
  link.StartRequest(kAddress, kWriteChunk);
  link.PutWord(index);
  link.PutWord(count);
  for (uint16_t i = 0; i < count; ++i)
    link.PutByte(data[i]);
  link.Transact();
}

void StoreArea(TKV_RS& link, uint16_t start, uint16_t length, uint16_t reply_timeout) {
  link.ReplyTimeout = reply_timeout;
  link.StartRequest(kAddress, kStoreArea);
  link.PutWord(start);
  link.PutWord(length);
  link.Transact();
}

void FinishUpload(TKV_RS& link) {
  link.ReplyTimeout = timeout::kUploadClosing;
  link.Request(kAddress, kFinishUpload);
}

}  // namespace qv::device
