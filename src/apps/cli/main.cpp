// quorvane-cli: the three jobs of the service tool, the device's identity and the port list,
// from a terminal or a script.

#include <iostream>
#include <string>
#include <vector>

#include "apps/cli/cli_options.h"
#include "apps/cli/commands.h"
#include "apps/cli/interrupt.h"
#include "apps/cli/system_registry.h"
#include "common/ini_file.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/process.h"

#ifndef QV_VERSION
#define QV_VERSION "unknown"
#endif

namespace {

// The main program's ini file lies beside this executable: "quorvane.ini".
std::filesystem::path MainProgramIni() {
  return qv::platform::ExecutablePath().parent_path() / "quorvane.ini";
}

// The device's USB entries, their COMn numbers through the same port table as the ports.
std::unique_ptr<qv::platform::DeviceRegistry> MakeRegistry(const std::filesystem::path& ini_path) {
  qv::TIniFile ini(ini_path);
  return qv::cli::ThisSystemDeviceRegistry(qv::platform::PortTable::ForThisSystem(&ini));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qv::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  ParseResult parsed = ParseCommandLine(args);
  if (std::holds_alternative<ShowHelp>(parsed)) {
    std::cout << UsageText();
    return kExitOk;
  }
  if (std::holds_alternative<ShowVersion>(parsed)) {
    std::cout << "quorvane-cli " << QV_VERSION << '\n';
    return kExitOk;
  }
  if (const auto* error = std::get_if<UsageError>(&parsed)) {
    std::cerr << "quorvane-cli: " << error->problem << "\n\n" << UsageText();
    return kExitUsage;
  }

  InstallInterruptHandler();
  std::filesystem::path ini_path = MainProgramIni();
  Environment env{std::cout,
                  std::cerr,
                  std::cin,
                  IsTerminal(0),
                  IsTerminal(2),
                  qv::platform::SystemClock(),
                  InterruptFlag(),
                  ini_path,
                  [&ini_path] { return MakeRegistry(ini_path); },
                  [](Phase phase) { SetInterruptible(phase != Phase::kWorking); }};
  return RunCommand(std::get<Options>(parsed), env);
}
