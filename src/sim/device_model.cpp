#include "sim/device_model.h"

#include <algorithm>
#include <cstring>

#include "link/device_commands.h"

namespace qv::sim {
namespace {

// Frame layout: length, address, header word (2 bytes), command, payload, checksum.
constexpr size_t kHeaderBytes = 5;
constexpr size_t kMinFrame = kHeaderBytes + 1;

// The serial text at the start of block 0 and the head record behind it.
constexpr char kSerial[] = "QV-HT32 SN004512";
constexpr uint8_t kHeadRecord[4] = {0x11, 0x22, 0x33, 0x44};
constexpr uint8_t kFirmwareVersionByte = 0x05;

// Settings address of the FAT: block 1, image offset 0.
constexpr size_t kFatAddress = 32;

void PutWordAt(DeviceModel::Settings& s, size_t at, uint16_t v) {
  s[at] = static_cast<uint8_t>(v & 0xFF);
  s[at + 1] = static_cast<uint8_t>(v >> 8);
}

bool ChecksumOk(const uint8_t* frame, size_t size) {
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i)
    sum = static_cast<uint8_t>(sum + frame[i]);
  return sum == 0;
}

// A settings range [start, start + length) that lies inside the memory.
bool InSettings(uint32_t start, uint32_t length) {
  return start + length <= DeviceModel::kSettingsBytes;
}

}  // namespace

DeviceModel::DeviceModel() : settings(DefaultSettings()) {}

uint8_t DeviceModel::DefaultSettingsByte(size_t address) {
  // Differs between neighbours and between blocks, and takes every byte value somewhere, CR,
  // LF and the terminal control characters among them.
  return static_cast<uint8_t>(address * 7 + (address >> 8) * 13 + 0x31);
}

std::vector<StoreRecord> DeviceModel::DefaultAreas() {
  return {{64, 40}, {128, 100}, {256, 260}, {768, 68}};
}

DeviceModel::Settings DeviceModel::DefaultSettings() {
  Settings s{};
  for (size_t a = 0; a < kSettingsBytes; ++a)
    s[a] = DefaultSettingsByte(a);
  std::memcpy(s.data(), kSerial, 16);
  std::memcpy(s.data() + 16, kHeadRecord, 4);
  std::vector<StoreRecord> areas = DefaultAreas();
  s[kFatAddress] = static_cast<uint8_t>(areas.size());
  s[kFatAddress + 1] = kFirmwareVersionByte;
  s[kFatAddress + 2] = 0;
  s[kFatAddress + 3] = 0;
  for (size_t i = 0; i < areas.size(); ++i) {
    PutWordAt(s, kFatAddress + 4 * (i + 1), areas[i].start);
    PutWordAt(s, kFatAddress + 4 * (i + 1) + 2, areas[i].length);
  }
  return s;
}

RequestRecord& DeviceModel::Receive(const uint8_t* frame, size_t size) {
  RequestRecord& r = log_.emplace_back();
  r.number = ++request_count_;
  r.frame.assign(frame, frame + size);
  if (size == 0) return r;
  // The frame's own length byte decides where it ends; 0 stands for 256.
  size_t announced = frame[0] == 0 ? 256 : frame[0];
  r.checksum_ok = size == announced && size >= 2 && ChecksumOk(frame, size);
  if (size > 1) r.address = frame[1];
  if (size >= kMinFrame) {
    r.command = frame[4];
    r.payload.assign(frame + kHeaderBytes, frame + size - 1);
  }
  return r;
}

bool DeviceModel::Handle(const uint8_t* frame, size_t size, std::vector<uint8_t>& reply) {
  RequestRecord& r = Receive(frame, size);
  return r.checksum_ok && Execute(r, reply);
}

bool DeviceModel::Execute(RequestRecord& r, std::vector<uint8_t>& reply) {
  // A damaged frame, or one for another device, is not ours to answer; a frame too short to
  // hold a command has command byte 0, which no request uses.
  if (!r.checksum_ok || r.address != kAddress) return false;
  bool ok = false;
  switch (r.command) {
    case device::kIdentify:
      ok = Identify(r, reply);
      break;
    case device::kPageChunk:
      ok = PageChunk(r, reply);
      break;
    case device::kProgramPage:
      ok = ProgramPage(r, reply);
      break;
    case device::kReadBlock:
      ok = ReadBlock(r, reply);
      break;
    case device::kBeginArea:
      ok = BeginArea(r, reply);
      break;
    case device::kWriteChunk:
      ok = WriteChunk(r, reply);
      break;
    case device::kStoreArea:
      ok = StoreArea(r, reply);
      break;
    case device::kFinishUpload:
      ok = FinishUpload(r, reply);
      break;
    default:
      break;
  }
  r.executed = ok;
  return ok;
}

void DeviceModel::BuildReply(uint8_t command, const uint8_t* payload, size_t size,
                             std::vector<uint8_t>& reply) {
  reply.clear();
  reply.push_back(static_cast<uint8_t>((size + kMinFrame) & 0xFF));
  reply.push_back(kAddress);
  reply.push_back(1);
  reply.push_back(0);
  reply.push_back(command);
  reply.insert(reply.end(), payload, payload + size);
  uint8_t sum = 0;
  for (uint8_t b : reply)
    sum = static_cast<uint8_t>(sum + b);
  reply.push_back(static_cast<uint8_t>(0x100 - sum));
}

bool DeviceModel::Identify(const RequestRecord& r, std::vector<uint8_t>& reply) {
  const uint8_t p[3] = {type, static_cast<uint8_t>(version & 0xFF),
                        static_cast<uint8_t>(version >> 8)};
  BuildReply(r.command, p, sizeof p, reply);
  return true;
}

bool DeviceModel::PageChunk(const RequestRecord& r, std::vector<uint8_t>& reply) {
  if (r.payload.size() != 1 + kChunkBytes || r.payload[0] >= kChunksPerPage) return false;
  size_t index = r.payload[0];
  std::copy(r.payload.begin() + 1, r.payload.end(), page_buffer.begin() + index * kChunkBytes);
  chunks_received |= 1u << index;
  BuildReply(r.command, nullptr, 0, reply);
  return true;
}

bool DeviceModel::ProgramPage(const RequestRecord& r, std::vector<uint8_t>& reply) {
  if (r.payload.size() != 4) return false;
  ProgramStatus status;
  if (!program_statuses.empty()) {
    status = program_statuses.front();
    program_statuses.pop_front();
  }
  // A failed attempt leaves the page buffer as it was, so a retry programs the same page
  // without its chunks being sent again.
  if (status.Programs()) {
    uint32_t address = DWord(r.payload, 0);
    program_memory[address] = page_buffer;
    program_log.push_back(address);
    chunks_received = 0;
  }
  const uint8_t p[2] = {status.flags, status.code};
  BuildReply(r.command, p, sizeof p, reply);
  return true;
}

bool DeviceModel::ReadBlock(const RequestRecord& r, std::vector<uint8_t>& reply) {
  if (r.payload.size() != 2) return false;
  uint16_t block = Word(r.payload, 0);
  if (block >= kBlocks) return false;
  BuildReply(r.command, settings.data() + block * kBlockBytes, kBlockBytes, reply);
  return true;
}

bool DeviceModel::BeginArea(const RequestRecord& r, std::vector<uint8_t>& reply) {
  if (r.payload.size() != 4) return false;
  uint16_t start = Word(r.payload, 0);
  uint16_t length = Word(r.payload, 2);
  if (!InSettings(start, length)) return false;
  // Bytes of the area that no chunk carries keep the values they have in memory now.
  std::copy(settings.begin() + start, settings.end(), write_buffer.begin());
  BuildReply(r.command, nullptr, 0, reply);
  return true;
}

bool DeviceModel::WriteChunk(const RequestRecord& r, std::vector<uint8_t>& reply) {
  if (r.payload.size() < 4) return false;
  uint16_t index = Word(r.payload, 0);
  uint16_t count = Word(r.payload, 2);
  if (count < 1 || count > kChunkBytes || r.payload.size() != 4u + count) return false;
  uint32_t at = uint32_t{index} * kChunkBytes;
  if (!InSettings(at, count)) return false;
  std::copy(r.payload.begin() + 4, r.payload.end(), write_buffer.begin() + at);
  BuildReply(r.command, nullptr, 0, reply);
  return true;
}

bool DeviceModel::StoreArea(const RequestRecord& r, std::vector<uint8_t>& reply) {
  if (r.payload.size() != 4) return false;
  uint16_t start = Word(r.payload, 0);
  uint16_t length = Word(r.payload, 2);
  if (!InSettings(start, length)) return false;
  std::copy(write_buffer.begin(), write_buffer.begin() + length, settings.begin() + start);
  store_log.push_back({start, length});
  if (on_store) on_store();
  BuildReply(r.command, nullptr, 0, reply);
  return true;
}

bool DeviceModel::FinishUpload(const RequestRecord& r, std::vector<uint8_t>& reply) {
  upload_finished = true;
  finish_count++;
  BuildReply(r.command, nullptr, 0, reply);
  return true;
}

std::vector<uint8_t> DeviceModel::Commands(bool executed_only) const {
  std::vector<uint8_t> out;
  for (const RequestRecord& r : log_) {
    if (!executed_only || r.executed) out.push_back(r.command);
  }
  return out;
}

std::vector<RequestRecord> DeviceModel::Requests(uint8_t command) const {
  std::vector<RequestRecord> out;
  for (const RequestRecord& r : log_) {
    if (r.command == command) out.push_back(r);
  }
  return out;
}

size_t DeviceModel::CountOf(uint8_t command) const {
  return static_cast<size_t>(
      std::count_if(log_.begin(), log_.end(),
                    [command](const RequestRecord& r) { return r.command == command; }));
}

}  // namespace qv::sim
