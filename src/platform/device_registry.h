#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

// The device's USB entries as the operating system lists them: on Windows the instance subkeys
// of HKLM\SYSTEM\CurrentControlSet\Enum\USB\Vid_04d9&Pid_8008&MI_00 and their "FriendlyName"
// values; on Linux the USB interfaces 04d9:8008 interface 00 found in sysfs, each given a
// friendly name made of its USB strings and "(COMn)".
class DeviceRegistry {
 public:
  virtual ~DeviceRegistry() = default;
  // The instance names in the order the system enumerates them; empty when the device key is
  // missing or cannot be opened.
  virtual std::vector<std::string> InstanceNames() = 0;
  // The friendly name of one instance; nothing when the instance or its value is missing.
  // A value that is not text raises Exception with the system's reason.
  virtual std::optional<std::string> FriendlyName(const std::string& instance) = 0;
};

}  // namespace qv::platform
