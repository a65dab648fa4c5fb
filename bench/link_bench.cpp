// Cost of one exchange with the device over a pseudo-terminal: the engine's event-driven wait
// against a loop that sleeps 1 ms between reads, and against a bare write-wait-read on the same
// port, which shows what the pty and the scheduler cost by themselves. The simulated device
// (PtyDevice) serves the pty from a thread of this process, unpaced; the tool's CPU time is that of
// the calling thread alone (RUSAGE_THREAD), so the simulator's work is not counted in it.
//
//   link_bench [EXCHANGES]   (default 2000 of each kind, in each of three rounds; the medians
//                             are printed)

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/exception.h"
#include "common/messages.h"
#include "link/KV_RS232.h"
#include "link/device_commands.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "sim/pty_device.h"

namespace {

using namespace qv;

struct Times {
  double wall_us = 0;
  double cpu_us = 0;
  double process_cpu_us = 0;
};

double CpuUs(int who) {
  rusage u{};
  getrusage(who, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e6 + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
}

Times MeasureOnce(int count, const std::function<void()>& exchange) {
  auto wall0 = std::chrono::steady_clock::now();
  double cpu0 = CpuUs(RUSAGE_THREAD);
  double proc0 = CpuUs(RUSAGE_SELF);
  for (int i = 0; i < count; ++i)
    exchange();
  Times t;
  t.wall_us =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - wall0).count() /
      count;
  t.cpu_us = (CpuUs(RUSAGE_THREAD) - cpu0) / count;
  t.process_cpu_us = (CpuUs(RUSAGE_SELF) - proc0) / count;
  return t;
}

// The median of a few rounds, each figure on its own: the machine is shared, and one round that
// met a busy scheduler says little about the link.
Times Measure(int count, const std::function<void()>& exchange) {
  constexpr int kRounds = 3;
  for (int i = 0; i < 50; ++i)
    exchange();  // warm up caches and the pty
  std::vector<Times> rounds;
  for (int r = 0; r < kRounds; ++r)
    rounds.push_back(MeasureOnce(count, exchange));
  auto median = [&](double Times::*field) {
    std::vector<double> v;
    for (const Times& t : rounds)
      v.push_back(t.*field);
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  return {median(&Times::wall_us), median(&Times::cpu_us), median(&Times::process_cpu_us)};
}

class NoMessages final : public Messages {
 public:
  void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  void ShowInfo(const std::string&) override {}
  int AskYesNo(const std::string&) override { return kYes; }
};

// The way the link used to wait: read one byte; when none has come, sleep 1 ms and read again;
// once the first byte is there, read the rest of the frame without sleeping. Written here only,
// as the yardstick for the engine's wait.
void SleepingExchange(TKV_RS& link) {
  platform::SerialPort& port = *link.PortHandle;
  port.Purge(true, true);
  size_t count = link.FrameBuffer[0] == 0 ? 256 : link.FrameBuffer[0];
  if (port.Write(link.FrameBuffer.data(), count)) throw Exception("write failed");
  uint8_t reply[256];
  std::error_code ec;
  // A generous deadline: on a busy machine the simulator's thread may wait long for a core, and
  // the benchmark measures waits, not time-outs.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (port.Read(reply, 1, ec) == 0) {
    if (std::chrono::steady_clock::now() > deadline) throw Exception("no reply");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  size_t n = reply[0];
  size_t got = 1;
  deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (got < n) {
    got += port.Read(reply + got, 1, ec);
    if (std::chrono::steady_clock::now() > deadline) throw Exception("byte time-out");
  }
}

// The floor under both: the sealed frame written and the reply read with the port's own wait,
// without purges, time-outs or checks.
void BareExchange(TKV_RS& link) {
  platform::SerialPort& port = *link.PortHandle;
  size_t count = link.FrameBuffer[0] == 0 ? 256 : link.FrameBuffer[0];
  if (port.Write(link.FrameBuffer.data(), count)) throw Exception("write failed");
  uint8_t reply[256];
  std::error_code ec;
  size_t got = 0;
  size_t n = 1;
  while (got < n) {
    if (port.WaitReadable(1000) != platform::WaitResult::kReadable) throw Exception("no reply");
    got += port.Read(reply + got, sizeof reply - got, ec);
    if (got > 0) n = reply[0];
  }
}

void Print(const char* name, const Times& t) {
  std::printf("%-34s %10.4f %12.4f %14.4f\n", name, t.wall_us / 1000, t.cpu_us / 1000,
              t.process_cpu_us / 1000);
}

}  // namespace

int main(int argc, char** argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 2000;
  if (count <= 0) {
    std::fprintf(stderr, "usage: link_bench [EXCHANGES]\n");
    return 2;
  }
  sim::PtyDevice pty;
  if (std::error_code ec = pty.Start()) {
    std::fprintf(stderr, "link_bench: cannot open a pty: %s\n", ec.message().c_str());
    return 1;
  }
  platform::TableSerialPlatform platform(platform::PortTable::SinglePath(pty.SlavePath()));
  NoMessages messages;
  platform::NullMessagePump pump;
  TKV_RS link(platform, messages, platform::SystemClock(), pump);
  link.SetActive(true);
  if (!link.PortOpen) {
    std::fprintf(stderr, "link_bench: cannot open %s\n", pty.SlavePath().c_str());
    return 1;
  }

  uint8_t chunk[32];
  for (int i = 0; i < 32; ++i)
    chunk[i] = static_cast<uint8_t>(i * 7);
  int index = 0;
  auto identify = [&] { device::Identify(link); };
  auto page_chunk = [&] {
    device::PageChunk(link, static_cast<uint8_t>(index), chunk);
    index = (index + 1) % 32;
  };
  // The reference loop sends the frames the engine built, sealed as the engine seals them.
  auto sleeping_identify = [&] {
    link.StartRequest(device::kAddress, device::kIdentify);
    link.SealFrame();
    SleepingExchange(link);
  };
  auto sleeping_chunk = [&] {
    link.StartRequest(device::kAddress, device::kPageChunk);
    link.PutByte(static_cast<uint8_t>(index));
    for (uint8_t b : chunk)
      link.PutByte(b);
    link.SealFrame();
    SleepingExchange(link);
    index = (index + 1) % 32;
  };

  auto bare_identify = [&] {
    link.StartRequest(device::kAddress, device::kIdentify);
    link.SealFrame();
    BareExchange(link);
  };

  try {
    std::printf(
        "link_bench: 3 rounds of %d exchanges of each kind over %s, unpaced, medians per\n"
        "exchange; the simulator runs in a thread of this process; tool CPU is the calling\n"
        "thread's (RUSAGE_THREAD), process CPU includes the simulator\n\n",
        count, pty.SlavePath().c_str());
    std::printf("%-34s %10s %12s %14s\n", "exchange", "wall ms", "tool CPU ms", "process CPU ms");
    Print("Identify, engine", Measure(count, identify));
    Print("PageChunk, engine", Measure(count, page_chunk));
    Print("Identify, 1 ms sleep loop", Measure(count, sleeping_identify));
    Print("Identify, bare write-wait-read", Measure(count, bare_identify));
    Print("PageChunk, 1 ms sleep loop", Measure(count, sleeping_chunk));
  } catch (const Exception& e) {
    std::fprintf(stderr, "link_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
