#include "platform/posix/device_registry_sysfs.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute file, without its line end; empty when it is missing.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (in) std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
    line.pop_back();
  }
  return line;
}

// The device search takes the first "COM" of a friendly name as the port designation. USB
// strings of our own making must not carry one before it ("USB Virtual COM Port" would make the
// search fail on " P"), so the letters after a "C" are lowered there: "Virtual Com Port".
std::string WithoutPortMarker(std::string text) {
  for (size_t at = text.find("COM"); at != std::string::npos; at = text.find("COM", at + 1)) {
    text[at + 1] = 'o';
    text[at + 2] = 'm';
  }
  return text;
}

bool IsTtyName(const std::string& name) {
  return name.rfind("ttyACM", 0) == 0 || name.rfind("ttyUSB", 0) == 0;
}

// The tty of an interface: "tty/ttyACMx" for CDC ACM, "ttyUSBx" for the USB serial drivers.
std::string TtyOf(const fs::path& interface_dir) {
  std::error_code ec;
  for (const fs::path& dir : {interface_dir / "tty", interface_dir}) {
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = it->path().filename().string();
      if (IsTtyName(name)) return name;
    }
    ec.clear();
  }
  return {};
}

class SysfsDeviceRegistry final : public DeviceRegistry {
 public:
  SysfsDeviceRegistry(PortTable table, fs::path root)
      : table_(std::move(table)), root_(std::move(root)) {}

  std::vector<std::string> InstanceNames() override {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = it->path().filename().string();
      if (IsDeviceInterface(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::optional<std::string> FriendlyName(const std::string& instance) override {
    if (!IsDeviceInterface(instance)) return std::nullopt;
    fs::path device = root_ / DeviceOf(instance);
    std::string name;
    for (const char* attribute : {"manufacturer", "product"}) {
      std::string text = Attribute(device / attribute);
      if (text.empty()) continue;
      if (!name.empty()) name += ' ';
      name += WithoutPortMarker(text);
    }
    int n = table_.NumberOf("/dev/" + TtyOf(root_ / instance));
    if (n != 0) {
      if (!name.empty()) name += ' ';
      name += "(COM" + std::to_string(n) + ")";
    }
    return name;
  }

 private:
  // "1-1.2:1.0" belongs to the device "1-1.2".
  static std::string DeviceOf(const std::string& interface_name) {
    return interface_name.substr(0, interface_name.find(':'));
  }

  bool IsDeviceInterface(const std::string& name) const {
    if (name.find(':') == std::string::npos || name.find('/') != std::string::npos) return false;
    fs::path device = root_ / DeviceOf(name);
    return Attribute(device / "idVendor") == "04d9" && Attribute(device / "idProduct") == "8008" &&
           Attribute(root_ / name / "bInterfaceNumber") == "00";
  }

  PortTable table_;
  fs::path root_;
};

}  // namespace

std::unique_ptr<DeviceRegistry> MakeSysfsDeviceRegistry(PortTable table, fs::path usb_devices) {
  return std::make_unique<SysfsDeviceRegistry>(std::move(table), std::move(usb_devices));
}

}  // namespace qv::platform
