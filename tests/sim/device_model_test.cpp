#include "sim/device_model.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/link_fixture.h"

namespace qv::sim {
namespace {

std::vector<uint8_t> Request(uint8_t command, const std::vector<uint8_t>& payload = {},
                             uint8_t address = 244) {
  std::vector<uint8_t> body = {address, 0x01, 0x00, command};
  body.insert(body.end(), payload.begin(), payload.end());
  return test::MakeFrame(body);
}

std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i)
    out[i] = static_cast<uint8_t>(first + i);
  return out;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Sends one request to the model; the reply frame, or nothing when the device stays silent.
std::optional<std::vector<uint8_t>> Send(DeviceModel& m, const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> reply;
  if (!m.Handle(frame.data(), frame.size(), reply)) return std::nullopt;
  return reply;
}

std::vector<uint8_t> Block(const DeviceModel::Settings& s, size_t b) {
  return {s.begin() + b * 32, s.begin() + b * 32 + 32};
}

struct CommandCase {
  std::string name;
  std::vector<uint8_t> request;
  // Expected reply frame; nothing: no reply at all.
  std::optional<std::vector<uint8_t>> reply;
};

TEST(DeviceModel, AnswersEachCommandOrStaysSilent) {
  const DeviceModel::Settings defaults = DeviceModel::DefaultSettings();
  std::vector<uint8_t> bad_checksum = Request(1);
  bad_checksum.back() ^= 0x01;
  const std::vector<CommandCase> cases = {
      {"identify", Request(1), test::MakeReply(1, {0x21, 0x05, 0x04})},
      {"identify ignores a payload", Request(1, {9, 9}), test::MakeReply(1, {0x21, 0x05, 0x04})},
      {"page chunk", Request(10, Concat({31}, Bytes(32, 0))), test::MakeReply(10)},
      {"page chunk index 32", Request(10, Concat({32}, Bytes(32, 0))), std::nullopt},
      {"page chunk short data", Request(10, Concat({0}, Bytes(31, 0))), std::nullopt},
      {"program page", Request(20, {0, 4, 1, 0}), test::MakeReply(20, {0, 0})},
      {"program page word address", Request(20, {0, 4}), std::nullopt},
      {"read block 1", Request(5, {1, 0}), test::MakeReply(5, Block(defaults, 1))},
      {"read block 127", Request(5, {127, 0}), test::MakeReply(5, Block(defaults, 127))},
      {"read block 128", Request(5, {128, 0}), std::nullopt},
      {"begin area", Request(12, {0x40, 0, 40, 0}), test::MakeReply(12)},
      {"begin area past the end", Request(12, {0xF0, 0x0F, 17, 0}), std::nullopt},
      {"write chunk", Request(4, Concat({1, 0, 4, 0}, Bytes(4, 0))), test::MakeReply(4)},
      {"write chunk count 0", Request(4, {0, 0, 0, 0}), std::nullopt},
      {"write chunk count 33", Request(4, Concat({0, 0, 33, 0}, Bytes(33, 0))), std::nullopt},
      {"write chunk count beyond data", Request(4, Concat({0, 0, 5, 0}, Bytes(4, 0))),
       std::nullopt},
      {"store area", Request(7, {0x40, 0, 40, 0}), test::MakeReply(7)},
      {"finish upload", Request(6), test::MakeReply(6)},
      {"unknown command", Request(99), std::nullopt},
      {"another address", Request(1, {}, 0x10), std::nullopt},
      {"bad checksum", bad_checksum, std::nullopt},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceModel m;
    EXPECT_EQ(Send(m, c.request), c.reply);
    ASSERT_EQ(m.Log().size(), 1u);
    EXPECT_EQ(m.Log()[0].number, 1u);
    EXPECT_EQ(m.Log()[0].executed, c.reply.has_value());
  }
}

TEST(DeviceModel, DefaultSettingsHoldAPlausibleFat) {
  const DeviceModel::Settings s = DeviceModel::DefaultSettings();
  EXPECT_EQ(s[32], 4);     // Count
  EXPECT_EQ(s[33], 0x05);  // firmware version byte
  std::vector<StoreRecord> areas = DeviceModel::DefaultAreas();
  ASSERT_EQ(areas.size(), 4u);
  uint32_t end_of_fat = 32 + 4 * (areas.size() + 1);
  for (size_t i = 0; i < areas.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Word({s.begin(), s.end()}, 32 + 4 * (i + 1)), areas[i].start);
    EXPECT_EQ(Word({s.begin(), s.end()}, 32 + 4 * (i + 1) + 2), areas[i].length);
    // Areas lie behind the FAT, inside the memory, and do not overlap.
    EXPECT_GE(areas[i].start, end_of_fat);
    EXPECT_LE(areas[i].start + areas[i].length, 4096u);
    if (i > 0) {
      EXPECT_GE(areas[i].start, areas[i - 1].start + areas[i - 1].length);
    }
    EXPECT_GE(areas[i].length, 4u);
    EXPECT_EQ(s[areas[i].start], DeviceModel::DefaultSettingsByte(areas[i].start));
  }
}

TEST(DeviceModel, AssemblesAPageFromChunksAndProgramsIt) {
  DeviceModel m;
  for (uint8_t c = 0; c < 32; ++c) {
    ASSERT_TRUE(Send(m, Request(10, Concat({c}, Bytes(32, static_cast<uint8_t>(c * 32))))));
  }
  EXPECT_EQ(m.chunks_received, 0xFFFFFFFFu);
  ASSERT_TRUE(Send(m, Request(20, {0x00, 0x04, 0x01, 0x00})));
  ASSERT_EQ(m.program_log, (std::vector<uint32_t>{65 * 1024}));
  const DeviceModel::Page& page = m.program_memory.at(65 * 1024);
  for (size_t i = 0; i < page.size(); ++i)
    ASSERT_EQ(page[i], static_cast<uint8_t>(i)) << i;
  EXPECT_EQ(m.chunks_received, 0u);
}

TEST(DeviceModel, FailingStatusLeavesThePageUnprogrammedForTheRetry) {
  DeviceModel m;
  m.program_statuses = {{0x01, 0}, {0, 3}, {0x04, 7}};
  ASSERT_TRUE(Send(m, Request(10, Concat({5}, Bytes(32, 0xA0)))));
  const std::vector<uint8_t> program = Request(20, {0, 0, 0, 0});
  EXPECT_EQ(Send(m, program), test::MakeReply(20, {0x01, 0}));
  EXPECT_EQ(Send(m, program), test::MakeReply(20, {0, 3}));
  EXPECT_TRUE(m.program_log.empty());
  // Flag bit 2 and code 7 are no failures: the page is programmed with the chunk sent before.
  EXPECT_EQ(Send(m, program), test::MakeReply(20, {0x04, 7}));
  ASSERT_EQ(m.program_log.size(), 1u);
  EXPECT_EQ(m.program_memory.at(0)[5 * 32], 0xA0);
  // Once the queue is empty every attempt succeeds.
  EXPECT_EQ(Send(m, program), test::MakeReply(20, {0, 0}));
}

TEST(DeviceModel, AreaKeepsTheBytesNoChunkCarries) {
  DeviceModel m;
  const DeviceModel::Settings before = m.settings;
  // An area of 52 bytes at 0x40 of which 36 are sent: 32 + 4.
  ASSERT_TRUE(Send(m, Request(12, {0x40, 0, 48, 0})));
  ASSERT_TRUE(Send(m, Request(4, Concat({0, 0, 32, 0}, Bytes(32, 0xC0)))));
  ASSERT_TRUE(Send(m, Request(4, Concat({1, 0, 4, 0}, Bytes(4, 0xE0)))));
  EXPECT_EQ(m.settings, before) << "nothing is stored before StoreArea";
  ASSERT_TRUE(Send(m, Request(7, {0x40, 0, 48, 0})));
  for (size_t a = 0; a < 4096; ++a) {
    uint8_t want = before[a];
    if (a >= 0x40 && a < 0x60) want = static_cast<uint8_t>(0xC0 + a - 0x40);
    if (a >= 0x60 && a < 0x64) want = static_cast<uint8_t>(0xE0 + a - 0x60);
    ASSERT_EQ(m.settings[a], want) << a;
  }
  EXPECT_EQ(m.store_log.size(), 1u);
}

TEST(DeviceModel, ClosingSequenceStoresTheHeadWithoutBeginArea) {
  DeviceModel m;
  int stores_seen = 0;
  m.on_store = [&] { ++stores_seen; };
  std::optional<std::vector<uint8_t>> block0 = Send(m, Request(5, {0, 0}));
  ASSERT_TRUE(block0);
  std::vector<uint8_t> head(block0->begin() + 5, block0->begin() + 25);
  head[16] = 0x00;
  head[17] = 0x55;
  head[18] = 0xFF;
  head[19] = 0xAA;
  ASSERT_TRUE(Send(m, Request(4, Concat({0, 0, 20, 0}, head))));
  ASSERT_TRUE(Send(m, Request(7, {0, 0, 20, 0})));
  ASSERT_TRUE(Send(m, Request(6)));
  EXPECT_EQ(std::vector<uint8_t>(m.settings.begin(), m.settings.begin() + 20), head);
  EXPECT_EQ(m.settings[20], DeviceModel::DefaultSettings()[20]);
  EXPECT_EQ(stores_seen, 1);
  EXPECT_TRUE(m.upload_finished);
  EXPECT_EQ(m.Commands(), (std::vector<uint8_t>{5, 4, 7, 6}));
  EXPECT_EQ(m.Requests(4).at(0).payload.size(), 24u);
}

}  // namespace
}  // namespace qv::sim
