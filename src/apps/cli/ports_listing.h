#pragma once

#include <string>
#include <vector>

namespace qv::platform {
class Clock;
class DeviceRegistry;
class SerialPlatform;
}  // namespace qv::platform

namespace qv::cli {

// One present port as the ports command lists it.
struct PortRow {
  int number = 0;             // n of COMn
  std::string path;           // its device path
  std::string friendly_name;  // of the device's USB entry naming COMn; empty: none
};

// Which port the automatic search would take.
struct AutoPick {
  enum class Kind { kPort, kNone, kUnavailable, kError };
  Kind kind = Kind::kNone;
  int number = 0;      // kPort
  std::string path;    // kPort
  std::string reason;  // kError: the search's own text
};

struct PortsReport {
  std::vector<PortRow> rows;
  AutoPick pick;
};

// Probes COM1..COM32, names each present port after the device's USB entry that names it, and
// runs the automatic search itself, so the report names exactly the port --auto would take.
// Without a registry (no device discovery on this system) the pick is kUnavailable.
PortsReport ListPorts(platform::SerialPlatform& serial, platform::DeviceRegistry* registry,
                      platform::Clock& clock);

// The listing, one line per present port and a last line for the automatic search, fields
// separated by a tab:
//   COM1<TAB>/dev/ttyACM0<TAB>Holtek USB-UART (COM1)
//   COM17<TAB>/dev/ttyUSB0<TAB>-                  (no USB entry names this port)
//   auto<TAB>COM1<TAB>/dev/ttyACM0                (or "auto<TAB>none", "auto<TAB>unavailable",
//                                                  "auto<TAB>error<TAB>text")
// Tabs and line breaks inside a name are written as blanks, so every line keeps its fields.
std::string FormatPortsListing(const std::vector<PortRow>& rows, const AutoPick& pick);

}  // namespace qv::cli
