#pragma once

#include <filesystem>
#include <memory>

#include "platform/device_registry.h"
#include "platform/port_table.h"

namespace qv::platform {

// Where Linux lists its USB devices and interfaces.
inline constexpr const char* kSysfsUsbDevices = "/sys/bus/usb/devices";

// The device's USB entries found in sysfs: interfaces (folders "<device>:<config>.<interface>")
// whose device has idVendor 04d9 and idProduct 8008 and whose bInterfaceNumber is 00. An entry's
// instance name is its folder name, in name order; its friendly name is made of the device's USB
// strings (manufacturer, product) and "(COMn)", n the port-table number of its tty
// (ttyACMx or ttyUSBx); an interface without a tty in the table gets no "(COMn)".
// The folder is a constructor argument so that tests build a fake tree.
std::unique_ptr<DeviceRegistry> MakeSysfsDeviceRegistry(
    PortTable table, std::filesystem::path usb_devices = kSysfsUsbDevices);

}  // namespace qv::platform
