#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

namespace qv::sim {

// The flags and code that a ProgramPage reply carries. Flags bit 0: supply too low; bit 1:
// erasing failed. Code 0: success; 1, 2: addressing error; 3, 4: write failed. Other flag bits
// and codes above 4 are not failures.
struct ProgramStatus {
  uint8_t flags = 0;
  uint8_t code = 0;
  // Whether the device programmed the page when it gave this status.
  bool Programs() const { return (flags & 0x03) == 0 && (code == 0 || code > 4); }
  bool operator==(const ProgramStatus&) const = default;
};

// One request frame as the device received it.
struct RequestRecord {
  uint32_t number = 0;           // 1-based, counting every frame the device received
  uint8_t address = 0;           // byte 1 of the frame
  uint8_t command = 0;           // byte 4 of the frame (0 when the frame is too short to hold one)
  std::vector<uint8_t> payload;  // the bytes between the command byte and the checksum
  std::vector<uint8_t> frame;    // the whole frame as it came off the wire
  bool checksum_ok = false;
  // Whether the model carried the request out: false for a damaged or malformed frame, a frame
  // for another address, an unknown command, a payload the command does not accept, and for a
  // request that a fault plan kept from the model (silent, busy, unplug).
  bool executed = false;
};

// One StoreArea as the settings store carried it out.
struct StoreRecord {
  uint16_t start = 0;
  uint16_t length = 0;
};

// The boot loader and settings store of the device: program memory filled page by page from
// 32 chunks, a 4096-byte settings memory read in 32-byte blocks and written area by area, and
// the flag that FinishUpload sets. Frames in, frames out; time and faults are SimDevice's.
class DeviceModel {
 public:
  static constexpr uint8_t kAddress = 244;
  static constexpr size_t kPageBytes = 1024;
  static constexpr size_t kChunkBytes = 32;
  static constexpr size_t kChunksPerPage = kPageBytes / kChunkBytes;
  static constexpr size_t kSettingsBytes = 4096;
  static constexpr size_t kBlockBytes = 32;
  static constexpr size_t kBlocks = kSettingsBytes / kBlockBytes;
  static constexpr uint8_t kBusyCommand = 255;

  using Settings = std::array<uint8_t, kSettingsBytes>;
  using Page = std::array<uint8_t, kPageBytes>;

  // Starts with type 0x21, version 0x0405 and DefaultSettings().
  DeviceModel();

  // A plausible settings memory: block 0 holds a serial text and a head record, blocks 1.. start
  // with a FAT of four areas (firmware version byte 0x05), every other byte follows
  // DefaultSettingsByte, so a test can tell any byte's address from its value.
  static Settings DefaultSettings();
  static uint8_t DefaultSettingsByte(size_t address);
  // The default FAT's areas, (start, length) for entries 1..4.
  static std::vector<StoreRecord> DefaultAreas();

  // Checks, logs and numbers one complete request frame (length byte first). Returns the log
  // entry; the request is not carried out yet.
  RequestRecord& Receive(const uint8_t* frame, size_t size);
  // Carries out a received request whose checksum was right. On success sets record.executed,
  // writes the whole reply frame to `reply` and returns true; a request the device cannot carry
  // out gets no reply (false).
  bool Execute(RequestRecord& record, std::vector<uint8_t>& reply);
  // Receive and Execute in one, for tests that need no faults.
  bool Handle(const uint8_t* frame, size_t size, std::vector<uint8_t>& reply);

  // A reply frame: length, address 244, header word 1, the command byte, payload, checksum.
  static void BuildReply(uint8_t command, const uint8_t* payload, size_t size,
                         std::vector<uint8_t>& reply);

  // Identity.
  uint8_t type = 0x21;
  uint16_t version = 0x0405;

  // Statuses for the next ProgramPage requests, one per attempt; {0, 0} once it is empty.
  std::deque<ProgramStatus> program_statuses;

  // Program memory by page address, and the page addresses in the order they were programmed.
  std::map<uint32_t, Page> program_memory;
  std::vector<uint32_t> program_log;
  // The page buffer that PageChunk fills, and which of its 32 chunks arrived since the last
  // page was programmed (bit i: chunk i).
  Page page_buffer{};
  uint32_t chunks_received = 0;

  // Settings memory, the write buffer that BeginArea loads and WriteChunk fills, and every
  // StoreArea carried out, in order.
  Settings settings{};
  Settings write_buffer{};
  std::vector<StoreRecord> store_log;
  // Called after every StoreArea, e.g. to save the settings memory to a file.
  std::function<void()> on_store;

  bool upload_finished = false;
  uint32_t finish_count = 0;

  // The request log, in the order of arrival.
  const std::vector<RequestRecord>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  // Number of frames received so far, including damaged ones; the next frame gets number + 1.
  uint32_t RequestCount() const { return request_count_; }
  // The command bytes of the logged requests, in order (only those carried out when
  // executed_only).
  std::vector<uint8_t> Commands(bool executed_only = false) const;
  // The logged requests with a given command byte.
  std::vector<RequestRecord> Requests(uint8_t command) const;
  size_t CountOf(uint8_t command) const;

 private:
  bool Identify(const RequestRecord& r, std::vector<uint8_t>& reply);
  bool PageChunk(const RequestRecord& r, std::vector<uint8_t>& reply);
  bool ProgramPage(const RequestRecord& r, std::vector<uint8_t>& reply);
  bool ReadBlock(const RequestRecord& r, std::vector<uint8_t>& reply);
  bool BeginArea(const RequestRecord& r, std::vector<uint8_t>& reply);
  bool WriteChunk(const RequestRecord& r, std::vector<uint8_t>& reply);
  bool StoreArea(const RequestRecord& r, std::vector<uint8_t>& reply);
  bool FinishUpload(const RequestRecord& r, std::vector<uint8_t>& reply);

  std::vector<RequestRecord> log_;
  uint32_t request_count_ = 0;
};

// Little-endian fields of a request payload.
inline uint16_t Word(const std::vector<uint8_t>& p, size_t at) {
  return static_cast<uint16_t>(p[at] | (p[at + 1] << 8));
}
inline uint32_t DWord(const std::vector<uint8_t>& p, size_t at) {
  return static_cast<uint32_t>(p[at]) | (static_cast<uint32_t>(p[at + 1]) << 8) |
         (static_cast<uint32_t>(p[at + 2]) << 16) | (static_cast<uint32_t>(p[at + 3]) << 24);
}

}  // namespace qv::sim
