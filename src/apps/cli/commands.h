#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>

#include "apps/cli/cli_options.h"
#include "apps/cli/connection_cancel.h"

namespace qv {
namespace platform {
class Clock;
class DeviceRegistry;
}  // namespace platform
}  // namespace qv

namespace qv::cli {

// What the commands take from the process they run in; main fills it with the real things.
struct Environment {
  std::ostream& out;
  std::ostream& err;
  std::istream& in;
  bool stdin_is_terminal = false;
  bool stderr_is_terminal = false;
  platform::Clock& clock;
  const std::atomic<bool>& interrupted;
  // The main program's ini file beside the executable: the port table's "Ports" section. It is
  // only read.
  std::filesystem::path ini_path;
  // This system's list of the device's USB entries; null when the build has no device discovery.
  std::function<std::unique_ptr<platform::DeviceRegistry>()> make_registry;
  // Told when a job enters or leaves the phase in which it writes to the device.
  std::function<void(Phase)> on_phase;
};

// Runs the command and returns the exit status. Every message has been written when it returns.
int RunCommand(const Options& options, Environment& env);

}  // namespace qv::cli
