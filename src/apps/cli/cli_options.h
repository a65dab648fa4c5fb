#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace qv::cli {

// The program's exit status, a promise to the scripts that call it.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailed = 1,       // the job failed: device, link, versions, file input or output
  kExitUsage = 2,        // a bad command line, or an input file refused before anything was sent
  kExitCancelled = 130,  // Ctrl-C
};

// How the device's port is found.
enum class PortChoice {
  kAuto,    // the main window's automatic search (the default)
  kDevice,  // --device PATH: one port at that path
  kNumber,  // --port N: COMn through the port table
};

enum class Command { kIdentify, kPorts, kBackup, kUpload, kRestore, kInfo };

struct Options {
  PortChoice port_choice = PortChoice::kAuto;
  std::string device_path;  // --device
  int port_number = 0;      // --port, 1..32
  // How long the connection loop keeps trying, in milliseconds; 0 means until Ctrl-C.
  int64_t connect_timeout_ms = 30000;

  Command command = Command::kIdentify;
  std::string file;         // upload, restore, info: the file; backup: --output (may be empty)
  bool assume_yes = false;  // restore --yes
};

// What the command line asks for besides running a command.
struct ShowHelp {};
struct ShowVersion {};
struct UsageError {
  std::string problem;  // one line, without the program's name
};

using ParseResult = std::variant<Options, ShowHelp, ShowVersion, UsageError>;

// Parses the arguments after the program name. Pure: it opens, reads and prints nothing.
// Global options may stand before or after the command; "--" ends the options.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The usage text printed by --help (stdout) and after a usage error (stderr).
const char* UsageText();

}  // namespace qv::cli
