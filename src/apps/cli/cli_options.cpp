#include "apps/cli/cli_options.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace qv::cli {
namespace {

constexpr int kMaxPort = 32;
// The longest time-out accepted, about 24 days, so that the millisecond value stays in 31 bits.
constexpr int64_t kMaxTimeoutMs = int64_t{2'000'000'000};

struct CommandName {
  std::string_view name;
  Command command;
  size_t files;  // positional arguments the command takes
};

constexpr CommandName kCommands[] = {
    {"identify", Command::kIdentify, 0}, {"ports", Command::kPorts, 0},
    {"backup", Command::kBackup, 0},     {"upload", Command::kUpload, 1},
    {"restore", Command::kRestore, 1},   {"info", Command::kInfo, 1},
};

std::optional<int> ParsePortNumber(std::string_view text) {
  int n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > kMaxPort) {
    return std::nullopt;
  }
  return n;
}

// Seconds as digits with at most three decimals ("30", "0", "1.5"), in milliseconds.
std::optional<int64_t> ParseSeconds(std::string_view text) {
  size_t dot = text.find('.');
  std::string_view whole = text.substr(0, dot);
  std::string_view fraction =
      dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
  if (whole.empty() ||
      (dot != std::string_view::npos && (fraction.empty() || fraction.size() > 3))) {
    return std::nullopt;
  }
  int64_t ms = 0;
  for (char c : whole) {
    if (c < '0' || c > '9') return std::nullopt;
    ms = ms * 10 + (c - '0') * 1000;
    if (ms > kMaxTimeoutMs) return std::nullopt;
  }
  int64_t scale = 100;
  for (char c : fraction) {
    if (c < '0' || c > '9') return std::nullopt;
    ms += (c - '0') * scale;
    scale /= 10;
  }
  if (ms > kMaxTimeoutMs) return std::nullopt;
  return ms;
}

// Walks the arguments and collects what they say; the checks that need the whole line come after.
class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  ParseResult Run() {
    for (index_ = 0; index_ < args_.size() && !failed_; ++index_) {
      const std::string& arg = args_[index_];
      if (options_ended_ || arg == "-" || arg.empty() || arg[0] != '-') {
        positional_.push_back(arg);
      } else if (arg == "--") {
        options_ended_ = true;
      } else {
        Option(arg);
      }
      if (help_) return ShowHelp{};
      if (version_) return ShowVersion{};
    }
    if (failed_) return UsageError{problem_};
    return Finish();
  }

 private:
  void Fail(std::string problem) {
    if (!failed_) problem_ = std::move(problem);
    failed_ = true;
  }

  // The value of an option given as "--name VALUE" or "--name=VALUE".
  std::optional<std::string> Value(std::string_view name,
                                   std::optional<std::string_view> inline_value) {
    if (inline_value) return std::string(*inline_value);
    if (index_ + 1 >= args_.size()) {
      Fail("option " + std::string(name) + " needs a value");
      return std::nullopt;
    }
    return args_[++index_];
  }

  void Connection(PortChoice choice, std::string_view name) {
    if (connection_given_) {
      Fail("options --device, --port and --auto exclude each other; " + std::string(name) +
           " is one too many");
      return;
    }
    connection_given_ = true;
    options_.port_choice = choice;
  }

  void Flag(bool& flag, std::string_view name) {
    if (flag) Fail("option " + std::string(name) + " given twice");
    flag = true;
  }

  void Option(const std::string& arg) {
    std::string_view text = arg;
    std::optional<std::string_view> inline_value;
    if (size_t eq = text.find('='); eq != std::string_view::npos) {
      inline_value = text.substr(eq + 1);
      text = text.substr(0, eq);
    }
    bool takes_value =
        text == "--device" || text == "--port" || text == "--connect-timeout" || text == "--output";
    if (inline_value && !takes_value) {
      Fail("option " + std::string(text) + " takes no value");
      return;
    }
    if (text == "--help" || text == "-h") {
      help_ = true;
    } else if (text == "--version") {
      version_ = true;
    } else if (text == "--auto") {
      Connection(PortChoice::kAuto, text);
    } else if (text == "--device") {
      Connection(PortChoice::kDevice, text);
      if (auto v = Value(text, inline_value)) {
        if (v->empty()) Fail("option --device needs a device path");
        options_.device_path = *v;
      }
    } else if (text == "--port") {
      Connection(PortChoice::kNumber, text);
      if (auto v = Value(text, inline_value)) {
        auto n = ParsePortNumber(*v);
        if (!n) Fail("option --port takes a port number from 1 to 32, not '" + *v + "'");
        options_.port_number = n.value_or(0);
      }
    } else if (text == "--connect-timeout") {
      Flag(timeout_given_, text);
      if (auto v = Value(text, inline_value)) {
        auto ms = ParseSeconds(*v);
        if (!ms) Fail("option --connect-timeout takes seconds (0 or more), not '" + *v + "'");
        options_.connect_timeout_ms = ms.value_or(0);
      }
    } else if (text == "--output") {
      Flag(output_given_, text);
      if (auto v = Value(text, inline_value)) {
        if (v->empty()) Fail("option --output needs a file name");
        options_.file = *v;
      }
    } else if (text == "--yes") {
      Flag(options_.assume_yes, text);
    } else {
      Fail("unknown option " + std::string(text));
    }
  }

  ParseResult Finish() {
    if (positional_.empty()) return UsageError{"no command given"};
    const CommandName* found = nullptr;
    for (const auto& c : kCommands) {
      if (c.name == positional_[0]) found = &c;
    }
    if (!found) return UsageError{"unknown command '" + positional_[0] + "'"};
    options_.command = found->command;
    size_t given = positional_.size() - 1;
    if (given < found->files) return UsageError{std::string(found->name) + " needs a file name"};
    if (given > found->files) {
      return UsageError{"unexpected argument '" + positional_[1 + found->files] + "' after " +
                        std::string(found->name)};
    }
    if (found->files == 1) options_.file = positional_[1];
    if (output_given_ && options_.command != Command::kBackup) {
      return UsageError{"option --output belongs to backup"};
    }
    if (options_.assume_yes && options_.command != Command::kRestore) {
      return UsageError{"option --yes belongs to restore"};
    }
    return options_;
  }

  const std::vector<std::string>& args_;
  size_t index_ = 0;
  Options options_;
  std::vector<std::string> positional_;
  bool options_ended_ = false;
  bool connection_given_ = false;
  bool timeout_given_ = false;
  bool output_given_ = false;
  bool help_ = false;
  bool version_ = false;
  bool failed_ = false;
  std::string problem_;
};

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  return Parser(args).Run();
}

const char* UsageText() {
  return "Usage: quorvane-cli [--device PATH | --port N | --auto] [--connect-timeout S] COMMAND "
         "[ARGS]\n"
         "\n"
         "Commands:\n"
         "  identify                  print the device's type and version: type=0x21 "
         "version=0x0405\n"
         "  backup [--output FILE]    save the device's settings (default name: "
         "YYYY_MM_DD_hh_mm.prmz\n"
         "                            in the current folder)\n"
         "  upload FILE.rom           upload a firmware image\n"
         "  restore FILE.prmz [--yes] write saved settings back; without --yes asks to re-plug "
         "the\n"
         "                            device first (needs a terminal)\n"
         "  info FILE                 show a .rom's trailer and page count, or a .prmz's version "
         "word\n"
         "                            and area table\n"
         "  ports                     list the present ports, their device paths and names, and "
         "the\n"
         "                            one --auto picks\n"
         "\n"
         "Options:\n"
         "  --device PATH             the device at PATH (Linux: /dev/ttyACM0 or a pty; Windows: "
         "COM5)\n"
         "  --port N                  COMn (1..32) through the port table\n"
         "  --auto                    find the device's port automatically (the default)\n"
         "  --connect-timeout S       keep trying to reach the device for S seconds (default 30;\n"
         "                            0: until Ctrl-C)\n"
         "  --help                    show this text\n"
         "  --version                 show the program's version\n"
         "\n"
         "Exit status: 0 done; 1 the job failed; 2 bad command line or input file refused;\n"
         "130 cancelled with Ctrl-C.\n";
}

}  // namespace qv::cli
