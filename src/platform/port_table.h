#pragma once

#include <array>
#include <memory>
#include <string>
#include <system_error>

#include "platform/serial_port.h"

namespace qv {
class TIniFile;
}

namespace qv::platform {

// Which device path stands for COMn, n = 1..32. An empty path: no such port on this machine.
class PortTable {
 public:
  // Windows: "\\?\COMn".
  static PortTable WindowsDefault();
  // POSIX: COM1..COM16 are /dev/ttyACM0..15, COM17..COM32 are /dev/ttyUSB0..15.
  static PortTable PosixDefault();
  // The default of the system this program was built for, with the overrides of the ini
  // file's section "Ports" applied on POSIX (key "COMn", value a device path).
  static PortTable ForThisSystem(const TIniFile* ini);
  // One port, COM1, at the given path; every other number absent. Used for --device PATH.
  static PortTable SinglePath(const std::string& path);

  // Applies "Ports" section entries "COMn=path"; keys that are not COM1..COM32 are ignored.
  void ApplyOverrides(const TIniFile& ini);

  const std::string& Path(int n) const;
  void SetPath(int n, std::string path);
  // The port number whose path is the given one, or 0.
  int NumberOf(const std::string& path) const;

 private:
  std::array<std::string, SerialPlatform::kMaxPort + 1> paths_;
};

// Opens and probes serial devices by path; one implementation per OS.
std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, std::error_code& ec);
bool ProbeSerialDevice(const std::string& path);

// The serial platform of this OS, reaching COMn through a port table.
class TableSerialPlatform final : public SerialPlatform {
 public:
  explicit TableSerialPlatform(PortTable table) : table_(std::move(table)) {}

  bool Probe(int n) override;
  std::unique_ptr<SerialPort> Open(int n, std::error_code& ec) override;
  std::string DevicePath(int n) const override;

  const PortTable& Table() const { return table_; }

 private:
  PortTable table_;
};

}  // namespace qv::platform
