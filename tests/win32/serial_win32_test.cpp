// The Win32 serial port on real COM ports. The test script maps two wine COM ports to
// pseudo-terminals: QV_TEST_LOOPBACK_PORT echoes every byte back, QV_TEST_SILENT_PORT takes
// bytes and never answers.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/exception.h"
#include "link/KV_RS232.h"
#include "link/link_texts.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/win32/serial_win32.h"
#include "platform/win32/windows_api.h"
#include "support/recording_messages.h"

namespace qv::platform {
namespace {

using win32::DevicePathForOpen;

std::string PortFromEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

TEST(Win32DevicePath, BareComNamesGetTheDevicePrefix) {
  struct Case {
    const char* given;
    const char* opened;
  } cases[] = {
      {"COM5", "\\\\.\\COM5"},
      {"com12", "\\\\.\\com12"},
      {"COM132", "\\\\.\\COM132"},
      {"\\\\.\\COM5", "\\\\.\\COM5"},
      {"\\\\?\\COM7", "\\\\?\\COM7"},
      {"COM", "COM"},
      {"COMX", "COMX"},
      {"COM5x", "COM5x"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DevicePathForOpen(c.given), c.opened) << c.given;
}

class Win32Serial : public ::testing::Test {
 protected:
  void SetUp() override {
    path = PortFromEnv("QV_TEST_LOOPBACK_PORT");
    if (path.empty()) GTEST_SKIP() << "QV_TEST_LOOPBACK_PORT names no echoing COM port";
    std::error_code ec;
    port = OpenSerialDevice(path, ec);
    ASSERT_TRUE(port) << ec.message();
    LineSettings line{115200, 8, 0, 2};
    ASSERT_FALSE(port->SetLineSettings(line));
    port->SetImmediateTimeouts();
    port->Purge(true, true);
  }
  void TearDown() override { win32::SetWaitsWakeForMessages(false); }

  // Reads until `count` bytes came or `limit_ms` passed.
  std::vector<uint8_t> ReadBytes(size_t count, int64_t limit_ms = 1000) {
    std::vector<uint8_t> got;
    int64_t deadline = clock.NowMs() + limit_ms;
    while (got.size() < count && clock.NowMs() <= deadline) {
      uint8_t buffer[64];
      std::error_code ec;
      size_t n = port->Read(buffer, std::min(sizeof(buffer), count - got.size()), ec);
      EXPECT_FALSE(ec) << ec.message();
      got.insert(got.end(), buffer, buffer + n);
      if (n == 0) port->WaitReadable(deadline - clock.NowMs());
    }
    return got;
  }

  const std::vector<uint8_t> frame{0x06, 0xF4, 0x01, 0x00, 0x01, 0x04};
  Clock& clock = SystemClock();
  std::string path;
  std::unique_ptr<SerialPort> port;
};

// Whether a held port can be opened a second time is the driver's to refuse (the open asks for
// no sharing); wine's serial layer does not refuse it, so that is not checked here.
TEST_F(Win32Serial, ProbeFindsExistingPortsOnly) {
  port.reset();
  EXPECT_TRUE(ProbeSerialDevice(path));
  EXPECT_FALSE(ProbeSerialDevice("\\\\.\\COM31"));
  std::error_code ec;
  EXPECT_FALSE(OpenSerialDevice("COM31", ec));
  EXPECT_EQ(ec.category(), std::system_category());
  EXPECT_EQ(ec.value(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32Serial, LineSettingsAreReadBack) {
  // A pseudo-terminal keeps 8 data bits and no parity whatever it is asked; rates and stop bits
  // it takes.
  const LineSettings cases[] = {{9600, 8, 0, 0}, {19200, 8, 0, 2}, {115200, 8, 0, 2}};
  for (const auto& want : cases) {
    ASSERT_FALSE(port->SetLineSettings(want));
    LineSettings back;
    ASSERT_FALSE(port->GetLineSettings(back));
    EXPECT_EQ(back.baud_rate, want.baud_rate);
    EXPECT_EQ(back.data_bits, want.data_bits);
    EXPECT_EQ(back.parity, want.parity);
    EXPECT_EQ(back.stop_bits, want.stop_bits);
  }
}

TEST_F(Win32Serial, WaitWakesAsSoonAsBytesArriveAndReadKeepsTheirOrder) {
  int64_t start = clock.NowMs();
  ASSERT_FALSE(port->Write(frame.data(), frame.size()));
  EXPECT_EQ(port->WaitReadable(2000), WaitResult::kReadable);
  EXPECT_LT(clock.NowMs() - start, 100) << "woken by the byte, not by the time-out";
  EXPECT_EQ(ReadBytes(frame.size()), frame);
}

TEST_F(Win32Serial, EveryByteValuePassesUnchanged) {
  // XON and XOFF (0x11, 0x13) among them: a port left with software flow control would swallow
  // them and, on XOFF, stop sending altogether. CR, LF and NUL must not be translated either.
  std::vector<uint8_t> all(256);
  for (size_t i = 0; i < all.size(); ++i)
    all[i] = static_cast<uint8_t>(i);
  ASSERT_FALSE(port->Write(all.data(), all.size()));
  EXPECT_EQ(ReadBytes(all.size()), all);
  ASSERT_FALSE(port->Write(frame.data(), frame.size())) << "sending goes on after an XOFF";
  EXPECT_EQ(ReadBytes(frame.size()), frame);
}

TEST_F(Win32Serial, WaitWithNothingToReadLastsItsTimeout) {
  int64_t start = clock.NowMs();
  EXPECT_EQ(port->WaitReadable(100), WaitResult::kTimeout);
  int64_t waited = clock.NowMs() - start;
  EXPECT_GE(waited, 99) << "a wait must not end before its time";
  EXPECT_LT(waited, 250);
  EXPECT_EQ(port->WaitReadable(0), WaitResult::kTimeout);
  std::error_code ec;
  uint8_t byte;
  EXPECT_EQ(port->Read(&byte, 1, ec), 0u);
  EXPECT_FALSE(ec);
}

TEST_F(Win32Serial, AWindowMessageWakesTheWaitAndNoByteIsLost) {
  MSG msg;
  ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // gives the thread its message queue
  win32::SetWaitsWakeForMessages(true);
  ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), WM_USER, 0, 0));
  int64_t start = clock.NowMs();
  EXPECT_EQ(port->WaitReadable(2000), WaitResult::kMessage);
  EXPECT_LT(clock.NowMs() - start, 100);
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  // The wait's read is still pending; the reply must come through it in order.
  ASSERT_FALSE(port->Write(frame.data(), frame.size()));
  EXPECT_EQ(port->WaitReadable(2000), WaitResult::kReadable);
  EXPECT_EQ(ReadBytes(frame.size()), frame);
}

TEST_F(Win32Serial, PurgeDropsTheByteTheWaitHadTakenToo) {
  ASSERT_FALSE(port->Write(frame.data(), frame.size()));
  ASSERT_EQ(port->WaitReadable(2000), WaitResult::kReadable);
  clock.SleepMs(50);  // the whole echo is back
  port->Purge(true, false);
  EXPECT_EQ(port->WaitReadable(0), WaitResult::kTimeout);
  std::error_code ec;
  uint8_t buffer[8];
  EXPECT_EQ(port->Read(buffer, sizeof(buffer), ec), 0u);
  // The port works on after the purge.
  ASSERT_FALSE(port->Write(frame.data(), frame.size()));
  EXPECT_EQ(ReadBytes(frame.size()), frame);
}

// The link on a real port through the port table: COM1 of the table is the given device.
struct RealLink {
  explicit RealLink(const std::string& path)
      : platform([&] {
          PortTable table;
          table.SetPath(1, path);
          return table;
        }()),
        link(platform, messages, SystemClock(), pump) {}

  TableSerialPlatform platform;
  test::RecordingMessages messages;
  NullMessagePump pump;
  TKV_RS link;
};

TEST(Win32SerialLink, AnExchangeCostsFarLessThanATimerPeriod) {
  std::string path = PortFromEnv("QV_TEST_LOOPBACK_PORT");
  if (path.empty()) GTEST_SKIP() << "QV_TEST_LOOPBACK_PORT names no echoing COM port";
  RealLink r(path);
  r.link.SetActive(true);
  ASSERT_TRUE(r.link.PortOpen);
  EXPECT_EQ(r.link.BaudRate, 115200u);
  // The echoed request is itself a well-formed reply, so each Transact is one whole exchange.
  constexpr int kExchanges = 200;
  Clock& clock = SystemClock();
  int64_t start = clock.NowMs();
  for (int i = 0; i < kExchanges; ++i) {
    r.link.StartRequest(244, 1);
    r.link.PutByte(static_cast<uint8_t>(i));
    ASSERT_NO_THROW(r.link.Transact()) << "exchange " << i;
    ASSERT_EQ(r.link.GetByte(), static_cast<uint8_t>(i));
  }
  double mean = static_cast<double>(clock.NowMs() - start) / kExchanges;
  EXPECT_LT(mean, 8.0) << "a wait that sleeps in timer periods costs 15.6 ms per exchange";
}

TEST(Win32SerialLink, SilentDeviceFailsAfterThreeWaitsAndTwoPauses) {
  std::string path = PortFromEnv("QV_TEST_SILENT_PORT");
  if (path.empty()) GTEST_SKIP() << "QV_TEST_SILENT_PORT names no silent COM port";
  RealLink r(path);
  r.link.SetActive(true);
  ASSERT_TRUE(r.link.PortOpen);
  r.link.ReplyTimeout = 100;
  r.link.StartRequest(244, 1);
  Clock& clock = SystemClock();
  int64_t start = clock.NowMs();
  try {
    r.link.Transact();
    ADD_FAILURE() << "a silent device answered";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), texts::kNoLink);
  }
  int64_t took = clock.NowMs() - start;
  // Three waits just past 100 ms and two 50 ms pauses: 403 ms, never less.
  EXPECT_GE(took, 400);
  EXPECT_LT(took, 600);
}

}  // namespace
}  // namespace qv::platform
