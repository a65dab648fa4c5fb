#include "apps/cli/ports_listing.h"

#include "common/exception.h"
#include "common/messages.h"
#include "link/KV_RS232.h"
#include "platform/device_registry.h"
#include "platform/message_pump.h"
#include "platform/serial_port.h"
#include "shell/device_discovery.h"
#include "shell/friendly_name.h"

namespace qv::cli {
namespace {

// The search's own messages are not shown: its result is the auto line.
class QuietMessages final : public Messages {
 public:
  void ShowError(const std::string&) override {}
  void ShowInfo(const std::string&) override {}
  int AskYesNo(const std::string&) override { return kNo; }
};

// The friendly names of the device's USB entries by the port they name; entries whose names
// cannot be read or name no port are left out of the listing.
void AddFriendlyNames(platform::DeviceRegistry& registry, std::vector<PortRow>& rows) {
  for (const auto& instance : registry.InstanceNames()) {
    try {
      std::string name = registry.FriendlyName(instance).value_or("");
      std::optional<int> n = PortOfFriendlyName(name);
      for (auto& row : rows) {
        if (n && row.number == *n && row.friendly_name.empty()) row.friendly_name = name;
      }
    } catch (const Exception&) {
      // The search stops at such an entry with its text, which the auto line shows.
    }
  }
}

AutoPick SearchAsAutoWould(platform::SerialPlatform& serial, platform::DeviceRegistry& registry,
                           platform::Clock& clock) {
  QuietMessages quiet;
  platform::NullMessagePump pump;
  TKV_RS link(serial, quiet, clock, pump);
  std::vector<std::string> instances;
  AutoPick pick;
  try {
    if (FindDevicePort(true, link, registry, instances)) {
      pick.kind = AutoPick::Kind::kPort;
      pick.number = link.PortNumber;
      pick.path = serial.DevicePath(link.PortNumber);
    }
  } catch (const Exception& e) {
    pick.kind = AutoPick::Kind::kError;
    pick.reason = e.what();
  }
  link.SetActive(false);
  return pick;
}

std::string Field(const std::string& text) {
  if (text.empty()) return "-";
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return out;
}

std::string PortName(int n) {
  return "COM" + std::to_string(n);
}

}  // namespace

PortsReport ListPorts(platform::SerialPlatform& serial, platform::DeviceRegistry* registry,
                      platform::Clock& clock) {
  PortsReport report;
  for (int n = 1; n <= platform::SerialPlatform::kMaxPort; ++n) {
    if (serial.Probe(n)) report.rows.push_back({n, serial.DevicePath(n), {}});
  }
  report.pick.kind = AutoPick::Kind::kUnavailable;
  if (registry) {
    AddFriendlyNames(*registry, report.rows);
    report.pick = SearchAsAutoWould(serial, *registry, clock);
  }
  return report;
}

std::string FormatPortsListing(const std::vector<PortRow>& rows, const AutoPick& pick) {
  std::string out;
  for (const auto& row : rows) {
    out += PortName(row.number) + '\t' + Field(row.path) + '\t' + Field(row.friendly_name) + '\n';
  }
  out += "auto\t";
  switch (pick.kind) {
    case AutoPick::Kind::kPort:
      out += PortName(pick.number) + '\t' + Field(pick.path);
      break;
    case AutoPick::Kind::kNone:
      out += "none";
      break;
    case AutoPick::Kind::kUnavailable:
      out += "unavailable";
      break;
    case AutoPick::Kind::kError:
      out += "error\t" + Field(pick.reason);
      break;
  }
  return out + '\n';
}

}  // namespace qv::cli
