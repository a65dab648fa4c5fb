// quorvane-devsim: its command line, and the program itself run as a child process.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/exception.h"
#include "devsim_options.h"
#include "link/KV_RS232.h"
#include "link/device_commands.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "settings_image.h"
#include "support/recording_messages.h"

extern char** environ;

namespace qv::devsim {
namespace {

TEST(DevsimOptions, ParsesEveryOption) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseOptions(
      {"--link", "/tmp/x", "--type=0x22", "--version", "1030", "--settings", "in.img",
       "--settings-out=out.img", "--baud", "9600", "--program-ms", "5", "--fault",
       "silent:from=3,count=2,cmd=10", "--fault=busy:from=9", "--fault", "status:flags=1", "--log"},
      o, error))
      << error;
  EXPECT_EQ(o.link_path, "/tmp/x");
  EXPECT_EQ(o.type, 0x22);
  EXPECT_EQ(o.version, 1030);
  EXPECT_EQ(o.settings_in, "in.img");
  EXPECT_EQ(o.settings_out, "out.img");
  EXPECT_EQ(o.baud, 9600u);
  EXPECT_EQ(o.program_ms, 5u);
  ASSERT_EQ(o.plan.rules.size(), 2u);
  EXPECT_EQ(sim::FaultPlan::Describe(o.plan.rules[0]), "silent:from=3,count=2,cmd=10");
  EXPECT_EQ(o.plan.program_statuses.size(), 1u);
  EXPECT_TRUE(o.log);
  EXPECT_FALSE(o.help);
}

TEST(DevsimOptions, RefusesBadCommandLines) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},        {"--type"},       {"--type", "256"},       {"--version", "0x10000"},
      {"--version", "x"}, {"--baud", "-1"}, {"--fault", "odd"},      {"--link="},
      {"--log=yes"},      {"stray"},        {"--program-ms", "1e3"},
  };
  for (const auto& args : bad) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    Options o;
    std::string error;
    EXPECT_FALSE(ParseOptions(args, o, error));
    EXPECT_FALSE(error.empty());
  }
}

// The simulator as a child process with its stdout on a pipe.
class Devsim {
 public:
  explicit Devsim(std::vector<std::string> args) {
    args.insert(args.begin(), QV_DEVSIM_PATH);
    std::vector<char*> argv;
    for (std::string& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    stdout_ = ::fdopen(out[0], "r");
  }
  ~Devsim() {
    if (pid_ > 0) Stop();
    if (stdout_) std::fclose(stdout_);
  }
  // The next line the simulator printed, without its newline.
  std::string Line() {
    char buf[256];
    if (!stdout_ || !std::fgets(buf, sizeof buf, stdout_)) return {};
    std::string s(buf);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }
  // Sends SIGTERM and returns the exit status.
  int Stop() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  FILE* stdout_ = nullptr;
};

TEST(Devsim, ServesTheToolAndLeavesItsSettingsAtExit) {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qv-devsim-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string link = (dir / "device").string();
  std::string in = (dir / "in.img").string();
  std::string out = (dir / "out.img").string();
  sim::DeviceModel::Settings image{};
  for (size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<uint8_t>(i ^ 0x5A);
  std::string error;
  ASSERT_TRUE(WriteSettingsImage(in, image, error)) << error;

  Devsim devsim({"--link", link, "--version", "0x0301", "--settings", in, "--settings-out", out,
                 "--fault", "busy:from=1,count=1"});
  std::string first = devsim.Line();
  ASSERT_EQ(first.rfind("pty: /dev/pts/", 0), 0u) << first;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), first.substr(5));

  {
    platform::TableSerialPlatform platform(platform::PortTable::SinglePath(link));
    test::RecordingMessages messages;
    platform::NullMessagePump pump;
    TKV_RS tool(platform, messages, platform::SystemClock(), pump);
    tool.SetActive(true);
    // The first attempt is answered busy, the second gets through.
    EXPECT_EQ(device::Identify(tool).version, 0x0301);
    uint8_t block[32];
    device::ReadBlock(tool, 2, block, sizeof block, device::timeout::kReadBlock);
    EXPECT_EQ(block[0], image[64]);
    const uint8_t data[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    device::BeginArea(tool, 100, 4, device::timeout::kRestoreArea);
    device::WriteChunk(tool, 0, data, 4, device::timeout::kRestoreArea);
    device::StoreArea(tool, 100, 4, device::timeout::kRestoreArea);
  }
  // Saved after the StoreArea already, before the simulator ends.
  sim::DeviceModel::Settings saved{};
  ASSERT_TRUE(ReadSettingsImage(out, saved, error)) << error;
  EXPECT_EQ(saved[100], 0xDE);
  EXPECT_EQ(saved[103], 0xEF);
  EXPECT_EQ(saved[104], image[104]);

  EXPECT_EQ(devsim.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  ASSERT_TRUE(ReadSettingsImage(out, saved, error)) << error;
  EXPECT_EQ(saved[100], 0xDE);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qv::devsim
