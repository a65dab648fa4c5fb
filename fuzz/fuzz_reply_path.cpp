// The device's replies as the link meets them: the fuzz input is what the device sends back,
// split into timed pieces, to a link on a fake port and a virtual clock. Every request must
// either return a validated reply or fail with one of the link's texts, within a bounded time.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "common/exception.h"
#include "common/messages.h"
#include "fuzz_check.h"
#include "link/KV_RS232.h"
#include "link/device_commands.h"
#include "link/link_texts.h"
#include "platform/fake/fake_serial.h"

namespace {

using qv::platform::fake::FakeLine;

// Takes bytes from the front of the fuzz input; 0 once it is used up.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Answers each request from the input: a control byte (pieces 1..4, and whether the port fails
// during this exchange), then per piece a gap (2 ms steps, so 0..510 ms) and up to 63 bytes.
class FuzzedDevice final : public qv::platform::fake::FakePeer {
 public:
  explicit FuzzedDevice(Input& input) : input_(input) {}
  void OnHostWrite(const uint8_t*, size_t, int64_t now, FakeLine& line) override {
    if (input_.Empty()) return;
    uint8_t control = input_.Byte();
    line.failed = (control & 0x80) != 0 && (control & 0x40) != 0;
    int pieces = 1 + (control & 3);
    int64_t at = now;
    for (int p = 0; p < pieces && !input_.Empty(); ++p) {
      at += 2 * input_.Byte();
      size_t len = input_.Byte() % 64;
      for (size_t i = 0; i < len; ++i)
        piece_[i] = input_.Byte();
      line.Deliver(at, piece_, len);
    }
  }

 private:
  Input& input_;
  uint8_t piece_[64];
};

class NoMessages final : public qv::Messages {
 public:
  void ShowError(const std::string&) override {}
  void ShowInfo(const std::string&) override {}
  int AskYesNo(const std::string&) override { return kNo; }
};

// The longest one Transact may take: three attempts, each a first-byte wait and up to 254 later
// bytes of ByteTimeout each (one millisecond past each deadline), and two pauses.
int64_t TransactBound(const qv::TKV_RS& link) {
  int64_t attempt = link.ReplyTimeout + 1 + 1 + 254 * (link.ByteTimeout + 1);
  return qv::TKV_RS::kAttempts * attempt + (qv::TKV_RS::kAttempts - 1) * qv::TKV_RS::kRetryPauseMs;
}

bool IsLinkText(const std::string& text) {
  static const std::set<std::string> texts = {
      qv::texts::kNoLink,      qv::texts::kByteTimeout, qv::texts::kChecksumError,
      qv::texts::kHeaderError, qv::texts::kBusy,        qv::texts::kShortReply,
  };
  return texts.count(text) != 0;
}

// One request of the command set, chosen by the input.
void RunCommand(qv::TKV_RS& link, uint8_t which) {
  uint8_t data[32] = {};
  switch (which % 6) {
    case 0:
      qv::device::Identify(link);
      break;
    case 1:
      qv::device::ReadBlock(link, 1, data, 32, qv::device::timeout::kReadBlock);
      break;
    case 2:
      qv::device::ProgramPage(link, 0x10000);
      break;
    case 3:
      qv::device::PageChunk(link, 5, data);
      break;
    case 4:
      qv::device::WriteChunk(link, 0, data, 20, qv::device::timeout::kRestoreArea);
      break;
    default:
      qv::device::FinishUpload(link);
      break;
  }
}

void CheckReplyTaken(qv::TKV_RS& link) {
  QV_FUZZ_CHECK(link.RxIndex >= 5);
  QV_FUZZ_CHECK(link.RxLength >= qv::TKV_RS::kMinReply && link.RxLength <= 255);
  QV_FUZZ_CHECK(link.CheckReply());
  QV_FUZZ_CHECK(link.Rx(4) != 255);
  QV_FUZZ_CHECK(link.Rx(1) != 0 || link.Rx(2) != 0 || link.Rx(3) != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input(data, size);
  qv::platform::fake::VirtualClock clock;
  qv::platform::fake::FakeSerialPlatform platform(clock);
  FakeLine& line = platform.AddPort(1);
  FuzzedDevice device(input);
  line.SetPeer(&device);
  NoMessages messages;
  qv::platform::NullMessagePump pump;
  qv::TKV_RS link(platform, messages, clock, pump);
  link.SetActive(true);
  QV_FUZZ_CHECK(link.PortOpen);

  // A handful of requests per input keeps each run short and lets one reply's leftovers meet the
  // next request.
  for (int request = 0; request < 8 && !input.Empty(); ++request) {
    uint8_t which = input.Byte();
    int64_t start = clock.NowMs();
    try {
      RunCommand(link, which);
      CheckReplyTaken(link);
    } catch (const qv::Exception& e) {
      QV_FUZZ_CHECK(IsLinkText(e.what()));
    }
    QV_FUZZ_CHECK(clock.NowMs() - start <= TransactBound(link));
    line.failed = false;
  }
  return 0;
}
