#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class TKV_RS_Base;
namespace platform {
class DeviceRegistry;
}

// The device search that runs before every job. With auto_detect off it returns true at once and
// touches nothing. Otherwise it rescans the ports, refills instance_list with the device's USB
// entries, and opens (at 115200 baud) the port of the first entry whose friendly name carries
// "Holtek" and "COMn" with COMn present now. Ports 0 and above 32 lie outside the port table
// and are passed over. When no entry fits it shows "Не вижу МК." and returns false.
// A friendly name whose port text is no number, or that is not text, raises Exception.
bool FindDevicePort(bool auto_detect, TKV_RS_Base& link, platform::DeviceRegistry& registry,
                    std::vector<std::string>& instance_list);

inline constexpr const char* kDeviceNotSeen = "Не вижу МК.";
inline constexpr uint32_t kDeviceBaudRate = 115200;

}  // namespace qv
