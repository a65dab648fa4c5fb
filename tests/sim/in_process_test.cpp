#include "sim/in_process_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/exception.h"
#include "link/KV_RS232.h"
#include "link/device_commands.h"
#include "link/link_texts.h"
#include "support/link_fixture.h"
#include "support/recording_messages.h"

namespace qv::sim {
namespace {

const std::vector<uint8_t> kIdentify = {0x06, 0xF4, 0x01, 0x00, 0x01, 0x04};

struct PacingCase {
  std::string name;
  uint32_t baud;
  uint32_t device_ms;
  uint32_t delay_ms;
  std::vector<int64_t> arrivals;  // virtual ms at which each of the 9 reply bytes is there
};

TEST(InProcessDevice, ReplyBytesArriveAtTheirWireTimes) {
  // 11 bits a character: 1.1458 ms at 9600 baud, so the 6-byte request has arrived at 6.875 ms
  // and reply byte j is there at 6.875 + 1.1458 j ms, rounded up to the millisecond.
  const std::vector<PacingCase> cases = {
      {"unpaced", 0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"unpaced, delayed", 0, 0, 150, {150, 150, 150, 150, 150, 150, 150, 150, 150}},
      {"9600 baud", 9600, 0, 0, {9, 10, 11, 12, 13, 14, 15, 17, 18}},
      {"9600 baud, 5 ms device time", 9600, 5, 0, {14, 15, 16, 17, 18, 19, 20, 22, 23}},
      {"115200 baud", 115200, 0, 0, {1, 1, 1, 1, 2, 2, 2, 2, 2}},
  };
  for (const PacingCase& c : cases) {
    SCOPED_TRACE(c.name);
    InProcessDevice dev;
    dev.device.pacing.baud = c.baud;
    dev.device.command_ms[device::kIdentify] = c.device_ms;
    if (c.delay_ms) dev.device.Plan().Add(FaultRule(FaultKind::kDelay, 1, 0, c.delay_ms));
    std::error_code ec;
    auto port = dev.Platform().Open(1, ec);
    ASSERT_TRUE(port);
    ASSERT_FALSE(port->Write(kIdentify.data(), kIdentify.size()));

    std::vector<int64_t> times;
    std::vector<uint8_t> bytes;
    while (auto next = dev.Line().NextArrival()) {
      dev.clock.AdvanceTo(*next);
      uint8_t buf[16];
      size_t n = port->Read(buf, sizeof buf, ec);
      for (size_t i = 0; i < n; ++i) {
        times.push_back(dev.clock.NowMs());
        bytes.push_back(buf[i]);
      }
    }
    EXPECT_EQ(times, c.arrivals);
    EXPECT_EQ(bytes, test::MakeReply(1, {0x21, 0x05, 0x04}));
  }
}

// The link of the tool on an in-process device, the way other tests build it.
struct Bench {
  Bench() { link.SetActive(true); }
  InProcessDevice dev;
  test::RecordingMessages messages;
  platform::NullMessagePump pump;
  TKV_RS link{dev.Platform(), messages, dev.clock, pump};
};

TEST(InProcessDevice, RetriesReachTheDeviceAsTheSameFrame) {
  Bench b;
  b.dev.device.Plan().Add(FaultRule(FaultKind::kSilent, 1, 2));
  device::Identity id = device::Identify(b.link);
  EXPECT_EQ(id.type, 0x21);
  const std::vector<RequestRecord>& log = b.dev.Model().Log();
  ASSERT_EQ(log.size(), 3u);
  for (const RequestRecord& r : log)
    EXPECT_EQ(r.frame, kIdentify);
  // Two silent waits of 100 ms and two pauses of 50 ms before the answer.
  EXPECT_EQ(b.dev.clock.NowMs(), 2 * 101 + 2 * 50);
}

TEST(InProcessDevice, PageReachesProgramMemoryThroughTheLink) {
  Bench b;
  b.dev.device.pacing.baud = 115200;
  b.dev.device.command_ms[device::kProgramPage] = 5;
  std::vector<uint8_t> page(1024);
  for (size_t i = 0; i < page.size(); ++i)
    page[i] = static_cast<uint8_t>(i * 3);
  for (uint8_t c = 0; c < 32; ++c)
    device::PageChunk(b.link, c, page.data() + c * 32);
  device::PageStatus status = device::ProgramPage(b.link, 0x08003000);
  EXPECT_EQ(status.flags, 0);
  EXPECT_EQ(status.code, 0);
  ASSERT_EQ(b.dev.Model().program_log, (std::vector<uint32_t>{0x08003000}));
  const DeviceModel::Page& stored = b.dev.Model().program_memory.at(0x08003000);
  EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.end()), page);
}

TEST(InProcessDevice, UnplugFailsTheLinkAndThePortComesBackAfterItsTime) {
  Bench b;
  b.dev.device.Plan().Add(FaultRule(FaultKind::kUnplug, 2, 1, 1000));
  ASSERT_EQ(device::Identify(b.link).version, 0x0405);
  int64_t unplugged_at = b.dev.clock.NowMs();

  try {
    device::Identify(b.link);
    FAIL() << "answered while unplugged";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), texts::kNoLink);
  }
  // The retries found no port to write to: the device saw the one request that unplugged it.
  EXPECT_EQ(b.dev.Model().RequestCount(), 2u);
  EXPECT_FALSE(b.dev.Platform().Probe(1));

  b.dev.clock.AdvanceTo(unplugged_at + 999);
  EXPECT_FALSE(b.dev.Platform().Probe(1));
  b.dev.clock.AdvanceTo(unplugged_at + 1000);
  b.link.SetActive(true);
  ASSERT_TRUE(b.link.PortOpen);
  EXPECT_EQ(device::Identify(b.link).type, 0x21);
}

}  // namespace
}  // namespace qv::sim
