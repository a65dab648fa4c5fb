#pragma once

#include <memory>

#include "platform/device_registry.h"
#include "platform/port_table.h"

namespace qv::cli {

// The device's USB entries as this system lists them: the registry's instance keys on Windows,
// the USB interfaces in sysfs on Linux (named with the port table's COMn).
std::unique_ptr<platform::DeviceRegistry> ThisSystemDeviceRegistry(
    const platform::PortTable& table);

}  // namespace qv::cli
