#include "jobs/settings_file.h"

#include "jobs/input_refused.h"
#include "jobs/job_texts.h"
#include "jobs/settings_key.h"

namespace qv {
namespace {

// XOR with the key is its own inverse, so the same loop scrambles and unscrambles.
void ApplyKey(const uint8_t* from, size_t size, uint8_t* to) {
  for (size_t j = 0; j < size; ++j)
    to[j] = from[j] ^ SettingsKey[j % kSettingsKeySize];
}

}  // namespace

std::vector<uint8_t> EncodeSettingsFile(uint16_t version, const std::vector<uint8_t>& image) {
  std::vector<uint8_t> file(kVersionWordBytes + image.size());
  file[0] = static_cast<uint8_t>(version & 0xFF);
  file[1] = static_cast<uint8_t>(version >> 8);
  ApplyKey(image.data(), image.size(), file.data() + kVersionWordBytes);
  return file;
}

SettingsFile DecodeSettingsFile(const std::vector<uint8_t>& file) {
  if (file.size() < kVersionWordBytes + kFatRecordBytes) {
    throw InputRefused(texts::kSettingsFileDamaged);
  }
  SettingsFile out;
  out.version = static_cast<uint16_t>(file[0] | file[1] << 8);
  out.image.resize(file.size() - kVersionWordBytes);
  ApplyKey(file.data() + kVersionWordBytes, out.image.size(), out.image.data());
  return out;
}

std::optional<AreaEntry> ReadAreaEntry(const uint8_t* table, size_t size, size_t i) {
  size_t at = 4 * i;
  if (at + 4 > size) return std::nullopt;
  AreaEntry e;
  e.Start = static_cast<uint16_t>(table[at] | table[at + 1] << 8);
  e.Length = static_cast<uint16_t>(table[at + 2] | table[at + 3] << 8);
  return e;
}

}  // namespace qv
