#include "apps/cli/system_registry.h"

#ifdef _WIN32
#include "platform/win32/registry_win32.h"
#else
#include "platform/posix/device_registry_sysfs.h"
#endif

namespace qv::cli {

std::unique_ptr<platform::DeviceRegistry> ThisSystemDeviceRegistry(
    const platform::PortTable& table) {
#ifdef _WIN32
  (void)table;
  return std::make_unique<platform::win32::RegistryDeviceRegistry>();
#else
  return platform::MakeSysfsDeviceRegistry(table);
#endif
}

}  // namespace qv::cli
