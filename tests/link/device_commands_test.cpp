#include <gtest/gtest.h>

#include <array>
#include <string>

#include "common/exception.h"
#include "link/device_commands.h"
#include "link/link_texts.h"
#include "support/link_fixture.h"

namespace qv {
namespace {

using platform::fake::FakeLine;
using platform::fake::FunctionPeer;
using test::MakeReply;

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    f.link->SetActive(true);
    peer = std::make_unique<FunctionPeer>(
        [this](const std::vector<uint8_t>& w, int64_t now, FakeLine& line) {
          timeouts.push_back(f.link->ReplyTimeout);
          line.Deliver(now + 1, MakeReply(w[4], payload));
        });
    f.Line().SetPeer(peer.get());
  }
  // The payload of the request last sent (after the command byte, before the checksum).
  std::vector<uint8_t> SentPayload() {
    const auto& w = f.Line().writes.back();
    return {w.begin() + 5, w.end() - 1};
  }

  test::LinkFixture f;
  std::unique_ptr<FunctionPeer> peer;
  std::vector<uint8_t> payload;
  std::vector<uint16_t> timeouts;
};

TEST_F(Commands, RequestLayoutsAndTimeouts) {
  std::array<uint8_t, 32> data{};
  for (int i = 0; i < 32; ++i)
    data[i] = static_cast<uint8_t>(i);
  payload = {0x21, 0x05, 0x04};

  device::Identify(*f.link);
  EXPECT_EQ(f.Line().writes.back(), (std::vector<uint8_t>{0x06, 0xF4, 0x01, 0x00, 0x01, 0x04}));

  device::PageChunk(*f.link, 7, data.data());
  auto chunk = SentPayload();
  ASSERT_EQ(chunk.size(), 33u);
  EXPECT_EQ(chunk[0], 7);
  EXPECT_EQ(chunk[32], 31);

  payload = {0, 0};
  device::ProgramPage(*f.link, 65 * 1024);
  EXPECT_EQ(SentPayload(), (std::vector<uint8_t>{0x00, 0x04, 0x01, 0x00}));

  device::WriteChunk(*f.link, 1, data.data(), 4, device::timeout::kRestoreArea);
  EXPECT_EQ(SentPayload(), (std::vector<uint8_t>{0x01, 0x00, 0x04, 0x00, 0, 1, 2, 3}));

  device::BeginArea(*f.link, 0x0140, 48, device::timeout::kRestoreArea);
  EXPECT_EQ(SentPayload(), (std::vector<uint8_t>{0x40, 0x01, 48, 0}));
  device::StoreArea(*f.link, 0, 20, device::timeout::kUploadClosing);
  EXPECT_EQ(SentPayload(), (std::vector<uint8_t>{0, 0, 20, 0}));
  device::FinishUpload(*f.link);
  EXPECT_EQ(f.Line().writes.back()[4], device::kFinishUpload);

  EXPECT_EQ(timeouts, (std::vector<uint16_t>{100, 500, 800, 3000, 3000, 500, 500}));
}

TEST_F(Commands, ReplyFieldsAreReadInOrderAndSurplusIgnored) {
  payload = {0x21, 0x05, 0x04, 0xEE, 0xEE};
  auto id = device::Identify(*f.link);
  EXPECT_EQ(id.type, 0x21);
  EXPECT_EQ(id.version, 0x0405);

  payload = {0x04, 0x07};
  auto status = device::ProgramPage(*f.link, 0);
  EXPECT_EQ(status.flags, 0x04);
  EXPECT_EQ(status.code, 0x07);

  payload.assign(32, 0);
  for (int i = 0; i < 32; ++i)
    payload[i] = static_cast<uint8_t>(100 + i);
  std::array<uint8_t, 32> block{};
  device::ReadBlock(*f.link, 3, block.data(), 32, device::timeout::kReadBlock);
  EXPECT_EQ(SentPayload(), (std::vector<uint8_t>{3, 0}));
  EXPECT_EQ(block[0], 100);
  EXPECT_EQ(block[31], 131);
}

// A reply shorter than the fields read is refused; the stale bytes of an earlier, longer reply
// that still sit in the receive area are never taken as data.
TEST_F(Commands, ShortRepliesAreRefused) {
  std::array<uint8_t, 32> block{};
  payload.assign(32, 0xAB);
  device::ReadBlock(*f.link, 1, block.data(), 32, device::timeout::kReadBlock);

  struct Case {
    const char* name;
    std::vector<uint8_t> payload;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"identify without version", {0x21, 0x05}, [&] { device::Identify(*f.link); }},
      {"program status without code", {0x00}, [&] { device::ProgramPage(*f.link, 0); }},
      {"block of 31 bytes", std::vector<uint8_t>(31, 1),
       [&] { device::ReadBlock(*f.link, 1, block.data(), 32, device::timeout::kReadBlock); }},
  };
  for (const auto& c : cases) {
    payload = c.payload;
    try {
      c.call();
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), texts::kShortReply) << c.name;
    }
  }
  // The upload's closing read takes only the first 20 bytes of block 0.
  payload.assign(20, 0x11);
  EXPECT_NO_THROW(device::ReadBlock(*f.link, 0, block.data(), 20, device::timeout::kUploadClosing));
}

}  // namespace
}  // namespace qv
