#pragma once

#include <array>
#include <cstdint>

#include "jobs/settings_file.h"

namespace qv {

// The main window's fields that the jobs fill in. The shell keeps one of these for the life of
// the window and passes it to every job; the values of the last backup or restore stay in it.
struct WindowFields {
  // The settings version word: of the device at a backup, of the chosen file at a restore.
  uint16_t SettingsVersion = 0;
  // The device's version word at a restore.
  uint16_t DeviceVersion = 0;
  // The firmware version bytes of the file's FAT and of the device's FAT at a restore, widened.
  uint16_t FileFirmwareVersion = 0;
  uint16_t DeviceFirmwareVersion = 0;
  // The first 60 bytes of the FAT last looked at: Count, firmware version byte, two bytes not
  // interpreted, then 14 area entries.
  std::array<uint8_t, kFatRecordBytes> FatRecord{};
};

}  // namespace qv
