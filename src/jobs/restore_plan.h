#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

// The device's FAT is read as settings blocks 1 to 3, so its table holds entries 1 to 23.
inline constexpr size_t kDeviceTableBytes = 96;
inline constexpr size_t kMaxDeviceAreas = kDeviceTableBytes / 4 - 1;
// The last 4 bytes of every area are never sent.
inline constexpr uint16_t kAreaTailBytes = 4;

// One area of a restore: area i of the file goes to area i of the device, whatever their
// addresses. The file's entry says where the bytes lie in the image, the device's where they go
// and how long the area is there, the smaller length how many bytes are sent.
struct AreaWrite {
  uint16_t device_start = 0;   // DS: given to BeginArea and StoreArea
  uint16_t stored_length = 0;  // m = DL - 4: given to BeginArea and StoreArea
  size_t image_offset = 0;     // FS - 32: where the bytes to send begin in the image
  uint16_t bytes = 0;          // n = min(FL, DL) - 4: how many bytes are sent
};

// Pairs areas 1 to min(file Count, device Count) of the two FATs and checks every pair before
// anything is written, so that no byte from outside the image and no wrapped length reaches the
// device. Raises InputRefused for a device Count above 23, an area length below 4 on either
// side, and a file entry or area that lies outside the image (start below 32, or its bytes past
// the image's end).
std::vector<AreaWrite> PlanRestoreAreas(const std::vector<uint8_t>& image,
                                        const std::vector<uint8_t>& device_table);

}  // namespace qv
