#include "shell/device_discovery.h"

#include "common/messages.h"
#include "platform/device_registry.h"
#include "port/KV_RS_Base.h"
#include "shell/friendly_name.h"

namespace qv {

bool FindDevicePort(bool auto_detect, TKV_RS_Base& link, platform::DeviceRegistry& registry,
                    std::vector<std::string>& instance_list) {
  if (!auto_detect) return true;
  link.ScanPorts();
  instance_list = registry.InstanceNames();
  for (const auto& instance : instance_list) {
    std::optional<int> n = PortOfFriendlyName(registry.FriendlyName(instance).value_or(""));
    // Outside COM1..COM32 there is no port to open: such an entry cannot be the device.
    if (!n || *n < 1 || *n > TKV_RS_Base::kMaxPort) continue;
    link.OpenPort(*n);
    link.SetBaudRate(kDeviceBaudRate);
    // OpenPort keeps n only when the scan found COMn; otherwise the entry is a stale one.
    if (link.PortNumber == *n) return true;
  }
  link.UserMessages().ShowError(kDeviceNotSeen);
  return false;
}

}  // namespace qv
