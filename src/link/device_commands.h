#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {
class TKV_RS;
}

namespace qv::device {

// Every request of the system goes to this device address.
inline constexpr uint8_t kAddress = 244;

enum Command : uint8_t {
  kIdentify = 1,
  kWriteChunk = 4,
  kReadBlock = 5,
  kFinishUpload = 6,
  kStoreArea = 7,
  kPageChunk = 10,
  kBeginArea = 12,
  kProgramPage = 20,
};

// Reply time-outs in milliseconds, per request.
namespace timeout {
inline constexpr uint16_t kIdentify = 100;
inline constexpr uint16_t kPageChunk = 500;
inline constexpr uint16_t kReadBlock = 500;
inline constexpr uint16_t kProgramPage = 800;
// WriteChunk, StoreArea and FinishUpload closing a firmware upload.
inline constexpr uint16_t kUploadClosing = 500;
// BeginArea, WriteChunk and StoreArea of a settings restore.
inline constexpr uint16_t kRestoreArea = 3000;
}  // namespace timeout

inline constexpr size_t kChunkBytes = 32;
inline constexpr size_t kBlockBytes = 32;

struct Identity {
  uint8_t type = 0;
  uint16_t version = 0;
};

struct PageStatus {
  uint8_t flags = 0;  // bit 0: supply too low; bit 1: erasing failed
  uint8_t code = 0;   // 0 success; 1, 2 addressing error; 3, 4 write failed
};

// Each function sets the link's ReplyTimeout, builds the request, runs Transact (three tries) and
// reads the reply fields. A failure raises Exception with the link's text; a reply too short for
// the fields read raises Exception(texts::kShortReply).

// Command 1: microcontroller type and firmware/settings version.
Identity Identify(TKV_RS& link);
// Command 10: chunk `index` (0..31) of the page being assembled, 32 bytes.
void PageChunk(TKV_RS& link, uint8_t index, const uint8_t* data);
// Command 20: programs the assembled page at a device address; one attempt.
PageStatus ProgramPage(TKV_RS& link, uint32_t address);
// Command 5: the first `count` (at most 32) bytes of settings block `block`.
void ReadBlock(TKV_RS& link, uint16_t block, uint8_t* out, size_t count, uint16_t reply_timeout);
// Command 12: starts storing an area of `length` bytes at `start`.
void BeginArea(TKV_RS& link, uint16_t start, uint16_t length, uint16_t reply_timeout);
// Command 4: chunk `index` of the current area, `count` (1..32) bytes.
void WriteChunk(TKV_RS& link, uint16_t index, const uint8_t* data, uint16_t count,
                uint16_t reply_timeout);
// Command 7: stores the area written since BeginArea (or block 0's head after an upload).
void StoreArea(TKV_RS& link, uint16_t start, uint16_t length, uint16_t reply_timeout);
// Command 6: tells the boot loader the upload is complete.
void FinishUpload(TKV_RS& link);

}  // namespace qv::device
