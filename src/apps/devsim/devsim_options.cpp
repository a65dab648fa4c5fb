#include "devsim_options.h"

#include <charconv>
#include <string_view>

namespace qv::devsim {
namespace {

using sim::ParseNumberText;

template <typename T>
bool SetNumber(const std::string& name, const std::string& value, uint64_t max, T& target,
               std::string& error) {
  uint64_t v = 0;
  if (!ParseNumberText(value, max, v)) {
    error = "bad value for " + name + ": '" + value + "'";
    return false;
  }
  target = static_cast<T>(v);
  return true;
}

bool TakesValue(const std::string& name) {
  return name == "--link" || name == "--type" || name == "--version" || name == "--settings" ||
         name == "--settings-out" || name == "--baud" || name == "--program-ms" ||
         name == "--fault";
}

bool Apply(const std::string& name, const std::string& value, Options& o, std::string& error) {
  if (name == "--link") o.link_path = value;
  if (name == "--settings") o.settings_in = value;
  if (name == "--settings-out") o.settings_out = value;
  if (name == "--type") return SetNumber(name, value, 0xFF, o.type, error);
  if (name == "--version") return SetNumber(name, value, 0xFFFF, o.version, error);
  if (name == "--baud") return SetNumber(name, value, 4000000, o.baud, error);
  if (name == "--program-ms") return SetNumber(name, value, 60000, o.program_ms, error);
  if (name == "--fault" && !o.plan.Parse(value, error)) {
    error = "bad --fault '" + value + "': " + error;
    return false;
  }
  if (value.empty()) {
    error = name + " needs a value";
    return false;
  }
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool inline_value = false;
    if (size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inline_value = true;
    }
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--log" && !inline_value) {
      options.log = true;
    } else if (TakesValue(name)) {
      if (!inline_value) {
        if (i + 1 >= args.size()) {
          error = name + " needs a value";
          return false;
        }
        value = args[++i];
      }
      if (!Apply(name, value, options, error)) return false;
    } else {
      error = "unknown option '" + args[i] + "'";
      return false;
    }
  }
  return true;
}

std::string Usage() {
  return R"(usage: quorvane-devsim [OPTIONS]

A simulated Quorvane Holtek device on a pseudo-terminal. Prints "pty: /dev/pts/N" as its first
line, then serves requests until SIGINT or SIGTERM.

  --link PATH          make PATH a symlink to the pty (moved at a re-plug, removed at exit)
  --type N             microcontroller type in the Identify reply (default 0x21)
  --version N          version word in the Identify reply (default 0x0405); hex with 0x
  --settings FILE      start from this raw 4096-byte settings memory image
  --settings-out FILE  write the settings memory here after every StoreArea and at exit
  --baud N             pace the line: 11 bits a character at N baud, both ways
  --program-ms N       milliseconds the device spends programming each page
  --fault RULE         a fault rule (repeatable):
                         KIND[:from=K,count=N,cmd=C,...]
                         silent, busy, checksum: no value
                         short:length=L      length byte L (below 6; default 5)
                         truncate:keep=J     only the first J bytes of the reply
                         surplus:bytes=J     J bytes after the reply (default 3)
                         delay:ms=M          M ms before the reply
                         unplug:replug-ms=M  the port goes away, back after M ms (0: never)
                         status:flags=F,code=C,times=T  next T ProgramPage statuses
                       from counts requests from 1; count 0 or none: all from K on
                       (unplug: count 1 unless given)
  --log                one line per request on stderr
  --help               this text

Exit status: 0 after a signal, 1 when the pty cannot be served, 2 for a bad command line.
)";
}

}  // namespace qv::devsim
