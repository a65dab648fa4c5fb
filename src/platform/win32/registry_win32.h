#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/device_registry.h"
#include "platform/win32/windows_api.h"

namespace qv::platform::win32 {

// Where Windows lists the device's USB instances: one subkey per instance the device has ever
// had, each with a "FriendlyName" value such as "Holtek USB Virtual COM (COM5)".
inline constexpr const char* kDeviceKey =
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_04d9&Pid_8008&MI_00";

// The device's USB entries read from the registry, read-only (KEY_READ; keys are never created).
// The root and key are parameters so that tests can point it at a key of their own.
class RegistryDeviceRegistry final : public DeviceRegistry {
 public:
  explicit RegistryDeviceRegistry(HKEY root = HKEY_LOCAL_MACHINE,
                                  std::string device_key = kDeviceKey);

  std::vector<std::string> InstanceNames() override;
  // A value of a type other than REG_SZ or REG_EXPAND_SZ raises Exception.
  std::optional<std::string> FriendlyName(const std::string& instance) override;

 private:
  HKEY root_;
  std::string device_key_;
};

}  // namespace qv::platform::win32
