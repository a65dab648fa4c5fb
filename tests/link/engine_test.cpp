#include <gtest/gtest.h>

#include <string>

#include "common/exception.h"
#include "link/link_texts.h"
#include "support/link_fixture.h"

namespace qv {
namespace {

using platform::fake::FakeLine;
using platform::fake::FunctionPeer;
using test::MakeReply;

std::string FailureOf(TKV_RS& link) {
  try {
    link.Transact();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no failure)";
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    f.link->SetActive(true);
    ASSERT_TRUE(f.link->PortOpen);
    f.link->ReplyTimeout = 100;
    f.link->StartRequest(244, 1);
  }
  // Every request is answered by `reply(attempt)` delivered `delay` ms after the write.
  template <typename Reply>
  void Answer(Reply reply, int64_t delay = 1) {
    peer = std::make_unique<FunctionPeer>(
        [this, reply, delay](const std::vector<uint8_t>&, int64_t now, FakeLine& line) {
          line.Deliver(now + delay, reply(++attempts));
        });
    f.Line().SetPeer(peer.get());
  }

  test::LinkFixture f;
  std::unique_ptr<FunctionPeer> peer;
  int attempts = 0;
};

TEST_F(Engine, SilentDeviceFailsAfterThreeWaitsAndTwoPauses) {
  EXPECT_EQ(FailureOf(*f.link), texts::kNoLink);
  // Each wait ends at the first millisecond past its 100 ms deadline; 50 ms pauses between.
  EXPECT_EQ(f.Line().write_times, (std::vector<int64_t>{0, 151, 302}));
  EXPECT_EQ(f.clock.NowMs(), 403);
  const std::vector<uint8_t> identify = {0x06, 0xF4, 0x01, 0x00, 0x01, 0x04};
  for (const auto& w : f.Line().writes)
    EXPECT_EQ(w, identify) << "the same sealed bytes resent";
  EXPECT_EQ(f.Line().rx_purges, 1 + 3) << "one purge at open, one before each send";
  EXPECT_EQ(f.Line().tx_purges, 3);
}

TEST_F(Engine, TransmissionAllowanceRoundsHalfToEven) {
  struct Case {
    uint32_t baud;
    int tx_length;
    int64_t allowance;
  };
  const Case cases[] = {{19200, 5, 2}, {19200, 7, 4}, {115200, 5, 0}, {9600, 38, 38}};
  for (const auto& c : cases) {
    f.link->BaudRate = c.baud;
    f.link->TxLength = c.tx_length;
    EXPECT_EQ(f.link->TransmissionAllowance(), c.allowance) << c.baud << " baud, " << c.tx_length;
  }
}

TEST_F(Engine, FirstByteDeadlineIncludesTheAllowance) {
  // 9600 baud, a request of 38 bytes before its checksum: 100 + 38 ms for the first byte.
  f.link->SetBaudRate(9600);
  f.link->StartRequest(244, 1);
  while (f.link->TxLength < 38)
    f.link->PutByte(0);
  struct Case {
    int64_t delay;
    bool answered;
  };
  // A byte is still taken when it arrives in the millisecond the wait ends (139); not after.
  for (auto c : {Case{138, true}, Case{139, true}, Case{140, false}}) {
    attempts = 0;
    Answer([](int) { return MakeReply(1, {0x21, 0x05, 0x04}); }, c.delay);
    int64_t start = f.clock.NowMs();
    std::string failure = FailureOf(*f.link);
    EXPECT_EQ(failure == "(no failure)", c.answered) << "delay " << c.delay << ": " << failure;
    if (!c.answered) {
      EXPECT_EQ(f.Line().write_times.back() - start, 2 * (139 + 50));
    }
  }
}

TEST_F(Engine, LengthBelowSixFailsAtOnceAndIsRetried) {
  Answer([](int) { return std::vector<uint8_t>{0x05, 0xF4, 0x01, 0x00, 0x01, 0x05}; });
  EXPECT_EQ(FailureOf(*f.link), texts::kNoLink);
  EXPECT_EQ(f.Line().write_times, (std::vector<int64_t>{0, 51, 102}));
}

TEST_F(Engine, TruncatedReplyFailsJustOver200msAfterItsLastByte) {
  Answer([](int) {
    auto r = MakeReply(1, {0x21, 0x05, 0x04});
    r.resize(4);
    return r;
  });
  EXPECT_EQ(FailureOf(*f.link), texts::kByteTimeout);
  // Last byte at 1, deadline 201, failure seen at 202; then 50 ms pause.
  EXPECT_EQ(f.Line().write_times, (std::vector<int64_t>{0, 252, 504}));
}

TEST_F(Engine, ReplyChecksTable) {
  struct Case {
    const char* name;
    std::vector<uint8_t> reply;
    std::string failure;
  };
  auto bad_sum = MakeReply(1, {0x21});
  bad_sum.back() ^= 1;
  const Case cases[] = {
      {"wrong checksum", bad_sum, texts::kChecksumError},
      {"address and header word zero", test::MakeFrame({0, 0, 0, 1, 0x21}), texts::kHeaderError},
      {"busy", MakeReply(255, {}), texts::kBusy},
      {"another address and command", test::MakeFrame({0x10, 0x01, 0x00, 0x09, 0x21}),
       "(no failure)"},
  };
  for (const auto& c : cases) {
    attempts = 0;
    Answer([&c](int) { return c.reply; });
    EXPECT_EQ(FailureOf(*f.link), c.failure) << c.name;
    int expected_attempts = c.failure == "(no failure)" ? 1 : 3;
    EXPECT_EQ(attempts, expected_attempts) << c.name;
  }
}

TEST_F(Engine, RetrySucceedsAndLeavesReadPositionAtPayload) {
  Answer([](int attempt) {
    return attempt < 3 ? MakeReply(255) : MakeReply(1, {0x21, 0x05, 0x04});
  });
  f.link->Transact();
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(f.link->RxIndex, 5);
  EXPECT_EQ(f.link->GetByte(), 0x21);
  EXPECT_EQ(f.link->GetWord(), 0x0405);
}

TEST_F(Engine, SurplusBytesAreAcceptedAndDiscardedBeforeTheNextSend) {
  Answer([](int) {
    auto r = MakeReply(1, {0x21});
    r.insert(r.end(), {0xAA, 0xBB, 0xCC});
    return r;
  });
  f.link->Transact();
  EXPECT_EQ(f.Line().Pending(), 3u) << "the surplus stays queued, unread";
  f.link->Transact();
  EXPECT_EQ(f.Line().Pending(), 3u) << "the old surplus was purged before the second send";
  EXPECT_EQ(f.link->GetByte(), 0x21);
}

TEST_F(Engine, FrameOf256BytesIsSentWhole) {
  Answer([](int) { return MakeReply(10); });
  while (f.link->TxLength < 255)
    f.link->PutByte(0x5A);
  f.link->Transact();
  ASSERT_EQ(f.Line().writes.size(), 1u);
  EXPECT_EQ(f.Line().writes[0].size(), 256u);
  EXPECT_EQ(f.Line().writes[0][0], 0);
}

TEST_F(Engine, ReplyLengthByteZeroIsTooShort) {
  Answer([](int) { return std::vector<uint8_t>(256, 0); });
  EXPECT_EQ(FailureOf(*f.link), texts::kNoLink);
}

TEST_F(Engine, ClosedOrFailedPortBehavesLikeASilentDevice) {
  f.Line().failed = true;
  EXPECT_EQ(FailureOf(*f.link), texts::kNoLink);
  EXPECT_EQ(f.clock.NowMs(), 403) << "bounded waits, no busy loop";
  f.link->SetActive(false);
  EXPECT_EQ(FailureOf(*f.link), texts::kNoLink);
  EXPECT_EQ(f.clock.NowMs(), 806);
}

// The message pump runs during every wait; a pump with a block limit makes the waits short.
TEST_F(Engine, MessagePumpRunsWhileWaiting) {
  struct CountingPump : platform::MessagePump {
    int calls = 0;
    void ProcessMessages() override { ++calls; }
    int64_t MaxBlockMs() const override { return 10; }
  } pump;
  f.link->SetMessagePump(pump);
  Answer([](int) { return MakeReply(1, {0x21}); }, 95);
  f.link->Transact();
  EXPECT_GE(pump.calls, 9);
  EXPECT_EQ(f.clock.NowMs(), 95) << "the reply is taken the moment it arrives";
}

}  // namespace
}  // namespace qv
