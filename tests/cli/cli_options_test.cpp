#include "apps/cli/cli_options.h"

#include <gtest/gtest.h>

namespace qv::cli {
namespace {

struct Accepted {
  std::vector<std::string> args;
  Options expected;
};

Options Make(Command command, PortChoice choice = PortChoice::kAuto, std::string device = {},
             int port = 0, int64_t timeout_ms = 30000, std::string file = {}, bool yes = false) {
  Options o;
  o.command = command;
  o.port_choice = choice;
  o.device_path = std::move(device);
  o.port_number = port;
  o.connect_timeout_ms = timeout_ms;
  o.file = std::move(file);
  o.assume_yes = yes;
  return o;
}

void ExpectSame(const Options& got, const Options& want) {
  EXPECT_EQ(got.command, want.command);
  EXPECT_EQ(got.port_choice, want.port_choice);
  EXPECT_EQ(got.device_path, want.device_path);
  EXPECT_EQ(got.port_number, want.port_number);
  EXPECT_EQ(got.connect_timeout_ms, want.connect_timeout_ms);
  EXPECT_EQ(got.file, want.file);
  EXPECT_EQ(got.assume_yes, want.assume_yes);
}

TEST(ParseCommandLine, AcceptsEveryCommandAndOptionForm) {
  using C = Command;
  using P = PortChoice;
  const std::vector<Accepted> cases = {
      {{"identify"}, Make(C::kIdentify)},
      {{"--auto", "identify"}, Make(C::kIdentify)},
      {{"--device", "/dev/pts/3", "identify"}, Make(C::kIdentify, P::kDevice, "/dev/pts/3")},
      {{"--device=/dev/ttyACM0", "ports"}, Make(C::kPorts, P::kDevice, "/dev/ttyACM0")},
      {{"--port", "32", "identify"}, Make(C::kIdentify, P::kNumber, {}, 32)},
      {{"--port=1", "identify"}, Make(C::kIdentify, P::kNumber, {}, 1)},
      {{"--connect-timeout", "0", "identify"}, Make(C::kIdentify, P::kAuto, {}, 0, 0)},
      {{"--connect-timeout=1.5", "identify"}, Make(C::kIdentify, P::kAuto, {}, 0, 1500)},
      {{"--connect-timeout", "0.25", "identify"}, Make(C::kIdentify, P::kAuto, {}, 0, 250)},
      {{"backup"}, Make(C::kBackup)},
      {{"backup", "--output", "a.prmz"}, Make(C::kBackup, P::kAuto, {}, 0, 30000, "a.prmz")},
      {{"upload", "fw.rom"}, Make(C::kUpload, P::kAuto, {}, 0, 30000, "fw.rom")},
      {{"restore", "s.prmz", "--yes"}, Make(C::kRestore, P::kAuto, {}, 0, 30000, "s.prmz", true)},
      {{"info", "x.rom"}, Make(C::kInfo, P::kAuto, {}, 0, 30000, "x.rom")},
      // Global options may follow the command, and "--" lets a file name start with a dash.
      {{"upload", "fw.rom", "--device", "/dev/x"},
       Make(C::kUpload, P::kDevice, "/dev/x", 0, 30000, "fw.rom")},
      {{"info", "--", "--odd.rom"}, Make(C::kInfo, P::kAuto, {}, 0, 30000, "--odd.rom")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    ParseResult r = ParseCommandLine(c.args);
    ASSERT_TRUE(std::holds_alternative<Options>(r)) << std::get<UsageError>(r).problem;
    ExpectSame(std::get<Options>(r), c.expected);
  }
}

TEST(ParseCommandLine, RefusesBadLinesWithTheirProblem) {
  struct Refused {
    std::vector<std::string> args;
    std::string problem_part;
  };
  const std::vector<Refused> cases = {
      {{}, "no command"},
      {{"flash"}, "unknown command 'flash'"},
      {{"--device", "/dev/a", "--port", "2", "identify"}, "exclude each other"},
      {{"--auto", "--device", "/dev/a", "identify"}, "exclude each other"},
      {{"--port", "0", "identify"}, "1 to 32"},
      {{"--port", "33", "identify"}, "1 to 32"},
      {{"--port", "3x", "identify"}, "1 to 32"},
      {{"--device"}, "needs a value"},
      {{"--device=", "identify"}, "needs a device path"},
      {{"--connect-timeout", "-1", "identify"}, "seconds"},
      {{"--connect-timeout", "1.2345", "identify"}, "seconds"},
      {{"--connect-timeout", "9999999999", "identify"}, "seconds"},
      {{"--connect-timeout", "1", "--connect-timeout", "2", "identify"}, "given twice"},
      {{"upload"}, "needs a file name"},
      {{"restore"}, "needs a file name"},
      {{"info", "a.rom", "b.rom"}, "unexpected argument 'b.rom'"},
      {{"identify", "now"}, "unexpected argument 'now'"},
      {{"upload", "fw.rom", "--output", "x"}, "--output belongs to backup"},
      {{"backup", "--yes"}, "--yes belongs to restore"},
      {{"restore", "s.prmz", "--yes", "--yes"}, "given twice"},
      {{"--auto=1", "identify"}, "takes no value"},
      {{"-x", "identify"}, "unknown option -x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    ParseResult r = ParseCommandLine(c.args);
    ASSERT_TRUE(std::holds_alternative<UsageError>(r));
    EXPECT_NE(std::get<UsageError>(r).problem.find(c.problem_part), std::string::npos)
        << std::get<UsageError>(r).problem;
  }
}

TEST(ParseCommandLine, HelpAndVersionAreAnsweredAtOnce) {
  EXPECT_TRUE(std::holds_alternative<ShowHelp>(ParseCommandLine({"--help"})));
  EXPECT_TRUE(std::holds_alternative<ShowHelp>(ParseCommandLine({"upload", "-h"})));
  EXPECT_TRUE(std::holds_alternative<ShowHelp>(ParseCommandLine({"--help", "--port", "99"})));
  EXPECT_TRUE(std::holds_alternative<ShowVersion>(ParseCommandLine({"--version"})));
}

}  // namespace
}  // namespace qv::cli
