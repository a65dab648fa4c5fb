#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

// A firmware image file (*.rom): the program memory contents from LoadAddress on, then a 7-byte
// trailer that is always read from the file's last 7 bytes. The file is programmed in whole
// 1024-byte pages counted from offset 0, so a trailer inside the last whole page is programmed
// with it and bytes after the last whole page are never sent.
struct FirmwareImage {
  static constexpr size_t kTrailerBytes = 7;
  static constexpr size_t kPageBytes = 1024;

  std::vector<uint8_t> bytes;  // the whole file, unchanged
  uint8_t McuType = 0;
  uint16_t ImageVersion = 0;
  uint32_t LoadAddress = 0;

  size_t PageCount() const { return bytes.size() / kPageBytes; }
  // Device address of page p, in 32-bit arithmetic (it wraps like the device's address does).
  uint32_t PageAddress(size_t p) const {
    return LoadAddress + static_cast<uint32_t>(p * kPageBytes);
  }
  const uint8_t* Page(size_t p) const { return bytes.data() + p * kPageBytes; }
};

// Takes the trailer from the last 7 bytes. A file shorter than that has no trailer: raises
// InputRefused(texts::kFirmwareFileDamaged).
FirmwareImage ParseFirmwareImage(std::vector<uint8_t> bytes);

}  // namespace qv
