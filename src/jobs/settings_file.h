#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv {

// The settings memory as a backup sees it: blocks 1 to 127 of 32 bytes (addresses 32 to 4095),
// kept in ascending order as the settings image; image offset = address - 32.
inline constexpr uint16_t kFirstSettingsBlock = 1;
inline constexpr uint16_t kLastSettingsBlock = 127;
inline constexpr uint16_t kImageBaseAddress = 32;
inline constexpr size_t kSettingsImageBytes = 4064;
// The settings file: the version word (low byte first, not scrambled), then the scrambled image.
inline constexpr size_t kVersionWordBytes = 2;
inline constexpr size_t kSettingsFileBytes = kVersionWordBytes + kSettingsImageBytes;
// The head of an image that the window keeps as FatRecord: Count, firmware version byte, two
// bytes not interpreted, then area entries of 4 bytes each.
inline constexpr size_t kFatRecordBytes = 60;

struct SettingsFile {
  uint16_t version = 0;
  std::vector<uint8_t> image;  // unscrambled: every byte of the file after the version word
};

// The bytes of a settings file: the version word, then image byte j XOR SettingsKey[j mod 4096].
std::vector<uint8_t> EncodeSettingsFile(uint16_t version, const std::vector<uint8_t>& image);

// Reads a settings file of any length. A file shorter than its version word and the 60-byte FAT
// record raises InputRefused(texts::kSettingsFileDamaged).
SettingsFile DecodeSettingsFile(const std::vector<uint8_t>& file);

// One entry of a FAT: the area's start address in the settings memory and its length in bytes.
struct AreaEntry {
  uint16_t Start = 0;
  uint16_t Length = 0;
};

// Entry i (from 1) of a FAT, which lies at byte 4·i of its table; nothing when the table ends
// before the entry does.
std::optional<AreaEntry> ReadAreaEntry(const uint8_t* table, size_t size, size_t i);

}  // namespace qv
