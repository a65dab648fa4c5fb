// The link over a real pseudo-terminal against the simulated device: the serial path the tool
// takes with a USB device, termios included.

#include "sim/pty_device.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/exception.h"
#include "link/KV_RS232.h"
#include "link/device_commands.h"
#include "link/link_texts.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "support/recording_messages.h"

namespace qv::sim {
namespace {

using Clock = std::chrono::steady_clock;

int64_t ThreadCpuUs() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec +
         u.ru_stime.tv_usec;
}

// The link of the tool on the port at `path`, as quorvane-cli --device PATH builds it.
struct PtyLink {
  explicit PtyLink(const std::string& path)
      : platform(platform::PortTable::SinglePath(path)),
        link(platform, messages, platform::SystemClock(), pump) {}

  platform::TableSerialPlatform platform;
  test::RecordingMessages messages;
  platform::NullMessagePump pump;
  TKV_RS link;
};

// Waits up to a second for a condition that another thread makes true.
template <typename F>
bool Eventually(F done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

TEST(PtyDevice, IdentifiesEndToEndOnAPortThatStartsInLineMode) {
  PtyDevice pty;
  ASSERT_FALSE(pty.Start());
  {
    // The slave is left as a fresh terminal comes: every one of these would corrupt frames.
    int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_TRUE(t.c_lflag & ICANON);
    EXPECT_TRUE(t.c_lflag & ECHO);
    EXPECT_TRUE(t.c_iflag & ICRNL);
    EXPECT_TRUE(t.c_oflag & ONLCR);
  }
  PtyLink tool(pty.SlavePath());
  tool.link.SetActive(true);
  ASSERT_TRUE(tool.link.PortOpen);

  device::Identity id = device::Identify(tool.link);
  EXPECT_EQ(id.type, 0x21);
  EXPECT_EQ(id.version, 0x0405);
  pty.With([](SimDevice& d) {
    ASSERT_EQ(d.Model().Log().size(), 1u);
    EXPECT_EQ(d.Model().Log()[0].frame, (std::vector<uint8_t>{0x06, 0xF4, 0x01, 0x00, 0x01, 0x04}));
  });
}

TEST(PtyDevice, ControlBytesPassUntranslatedBothWays) {
  // CR, LF, ^C, ^D, XON, XOFF and DEL: each is special to a terminal in line mode.
  const std::vector<uint8_t> special = {0x0D, 0x0A, 0x03, 0x04, 0x11, 0x13, 0x7F, 0x0D,
                                        0x0D, 0x0A, 0x1A, 0x15, 0x17, 0x12, 0x16, 0x1C};
  std::vector<uint8_t> block(32);
  for (size_t i = 0; i < block.size(); ++i)
    block[i] = special[i % special.size()];

  SimDevice device;
  std::copy(block.begin(), block.end(), device.Model().settings.begin() + 5 * 32);
  PtyDevice pty(std::move(device));
  ASSERT_FALSE(pty.Start());
  PtyLink tool(pty.SlavePath());
  tool.link.SetActive(true);

  // Device to tool: a block made of the special bytes comes back exactly.
  std::vector<uint8_t> read(32);
  device::ReadBlock(tool.link, 5, read.data(), read.size(), device::timeout::kReadBlock);
  EXPECT_EQ(read, block);

  // Tool to device: the same bytes in a chunk reach the device exactly.
  device::WriteChunk(tool.link, 0, block.data(), 32, device::timeout::kRestoreArea);
  pty.With([&](SimDevice& d) {
    const RequestRecord& r = d.Model().Log().back();
    EXPECT_TRUE(r.checksum_ok);
    EXPECT_EQ(std::vector<uint8_t>(r.payload.begin() + 4, r.payload.end()), block);
  });
}

TEST(PtyDevice, PacedDeviceTakesItsWireTime) {
  SimDevice device;
  device.pacing.baud = 9600;
  device.command_ms[device::kIdentify] = 20;
  PtyDevice pty(std::move(device));
  ASSERT_FALSE(pty.Start());
  PtyLink tool(pty.SlavePath());
  tool.link.SetActive(true);
  auto start = Clock::now();
  EXPECT_EQ(device::Identify(tool.link).type, 0x21);
  // 6 request and 9 reply characters of 1.1458 ms, and 20 ms of device time: at least 37 ms.
  EXPECT_GE(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count(),
            37000);
}

TEST(PtyDevice, ToolReopensThePortBetweenJobs) {
  PtyDevice pty;
  ASSERT_FALSE(pty.Start());
  PtyLink tool(pty.SlavePath());
  for (int job = 0; job < 3; ++job) {
    SCOPED_TRACE(job);
    tool.link.SetActive(true);
    ASSERT_TRUE(tool.link.PortOpen);
    EXPECT_EQ(device::Identify(tool.link).version, 0x0405);
    tool.link.SetActive(false);
  }
  EXPECT_TRUE(pty.Plugged());
}

TEST(PtyDevice, UnpluggedDeviceFailsWithTheNoLinkTextWithoutSpinning) {
  PtyDevice pty;
  ASSERT_FALSE(pty.Start());
  PtyLink tool(pty.SlavePath());
  tool.link.SetActive(true);
  ASSERT_EQ(device::Identify(tool.link).type, 0x21);

  pty.Unplug();
  ASSERT_TRUE(Eventually([&] { return !pty.Plugged(); }));

  auto wall_start = Clock::now();
  int64_t cpu_start = ThreadCpuUs();
  try {
    device::Identify(tool.link);
    FAIL() << "Identify answered on an unplugged port";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), texts::kNoLink);
  }
  int64_t cpu_us = ThreadCpuUs() - cpu_start;
  auto wall_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - wall_start).count();
  // Three waits of 100 ms and two pauses of 50: about 400 ms, bounded even with a loaded machine.
  EXPECT_LT(wall_ms, 3000);
  // Sleeping, not polling a dead descriptor in a loop.
  EXPECT_LT(cpu_us, 50000) << "CPU time of the wait, us";
}

TEST(PtyDevice, ReplugMovesTheSymlinkAndTheToolGetsThroughAgain) {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qv-pty-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string link = (dir / "device").string();
  {
    std::string announced;
    PtyDevice::Options options;
    options.link_path = link;
    options.on_replug = [&](const std::string& path) { announced = path; };
    PtyDevice pty(SimDevice{}, options);
    ASSERT_FALSE(pty.Start());
    std::string first = pty.SlavePath();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), first);
    PtyLink tool(link);
    tool.link.SetActive(true);
    EXPECT_EQ(device::Identify(tool.link).type, 0x21);

    pty.Unplug(200);
    ASSERT_TRUE(Eventually([&] { return !pty.Plugged(); }));
    EXPECT_THROW(device::Identify(tool.link), Exception);
    ASSERT_TRUE(Eventually([&] { return pty.Plugged(); }));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), pty.SlavePath());
    ASSERT_TRUE(
        Eventually([&] { return pty.With([&](SimDevice&) { return !announced.empty(); }); }));
    EXPECT_EQ(pty.With([&](SimDevice&) { return announced; }), pty.SlavePath());

    // The job's connection loop reopens the port by its path, now the new pty.
    tool.link.SetActive(true);
    EXPECT_EQ(device::Identify(tool.link).version, 0x0405);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qv::sim
