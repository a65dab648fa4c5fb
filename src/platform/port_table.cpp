#include "platform/port_table.h"

#include <charconv>

#include "common/ini_file.h"

namespace qv::platform {
namespace {

bool InRange(int n) {
  return n >= 1 && n <= SerialPlatform::kMaxPort;
}

// "COMn" with n 1..32 (letters in any case), else 0.
int PortNumberOfKey(const std::string& key) {
  if (key.size() < 4) return 0;
  for (int i = 0; i < 3; ++i) {
    if ((key[i] & ~0x20) != "COM"[i]) return 0;
  }
  int n = 0;
  auto [end, ec] = std::from_chars(key.data() + 3, key.data() + key.size(), n);
  if (ec != std::errc() || end != key.data() + key.size() || !InRange(n)) return 0;
  return n;
}

}  // namespace

PortTable PortTable::WindowsDefault() {
  PortTable table;
  for (int n = 1; n <= SerialPlatform::kMaxPort; ++n)
    table.paths_[n] = "\\\\?\\COM" + std::to_string(n);
  return table;
}

PortTable PortTable::PosixDefault() {
  PortTable table;
  for (int i = 0; i < 16; ++i) {
    table.paths_[1 + i] = "/dev/ttyACM" + std::to_string(i);
    table.paths_[17 + i] = "/dev/ttyUSB" + std::to_string(i);
  }
  return table;
}

PortTable PortTable::ForThisSystem(const TIniFile* ini) {
#ifdef _WIN32
  (void)ini;
  return WindowsDefault();
#else
  PortTable table = PosixDefault();
  if (ini) table.ApplyOverrides(*ini);
  return table;
#endif
}

PortTable PortTable::SinglePath(const std::string& path) {
  PortTable table;
  table.paths_[1] = path;
  return table;
}

void PortTable::ApplyOverrides(const TIniFile& ini) {
  for (const auto& key : ini.ReadSectionKeys("Ports")) {
    int n = PortNumberOfKey(key);
    if (n != 0) paths_[n] = ini.ReadString("Ports", key, "");
  }
}

const std::string& PortTable::Path(int n) const {
  static const std::string kNone;
  return InRange(n) ? paths_[n] : kNone;
}

void PortTable::SetPath(int n, std::string path) {
  if (InRange(n)) paths_[n] = std::move(path);
}

int PortTable::NumberOf(const std::string& path) const {
  for (int n = 1; n <= SerialPlatform::kMaxPort; ++n) {
    if (!path.empty() && paths_[n] == path) return n;
  }
  return 0;
}

bool TableSerialPlatform::Probe(int n) {
  const std::string& path = table_.Path(n);
  return !path.empty() && ProbeSerialDevice(path);
}

std::unique_ptr<SerialPort> TableSerialPlatform::Open(int n, std::error_code& ec) {
  const std::string& path = table_.Path(n);
  if (path.empty()) {
    ec = std::make_error_code(std::errc::no_such_device);
    return nullptr;
  }
  return OpenSerialDevice(path, ec);
}

std::string TableSerialPlatform::DevicePath(int n) const {
  return table_.Path(n);
}

}  // namespace qv::platform
