// A 64 KiB firmware upload through the whole stack (job, engine, POSIX serial port) to the
// simulated device on a real pseudo-terminal, paced like a 115200-baud line (11 bits a
// character) with 5 ms of programming time per page. Prints the wall time against the limit
// that the wire and the device set (the bytes of both directions × 11 / 115200, plus the
// device's own time) and the CPU time of the thread that runs the job. The same requests are
// then replayed by a bare write-wait-read loop on the same pty, which shows what the pty, the
// simulator's pacing and the machine's scheduler cost by themselves.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/messages.h"
#include "jobs/firmware_upload.h"
#include "jobs/job_texts.h"
#include "jobs/job_ui.h"
#include "link/KV_RS232.h"
#include "link/device_commands.h"
#include "platform/clock.h"
#include "platform/message_pump.h"
#include "platform/port_table.h"
#include "sim/pty_device.h"

namespace {

constexpr uint32_t kBaud = 115200;
constexpr uint32_t kPageMs = 5;
constexpr size_t kPages = 64;

class QuietProgress final : public qv::ProgressDialog {
 public:
  void SetLabel(const std::string&) override {}
  void SetGauge(int percent) override { gauge = percent; }
  void ShowGauge(bool) override {}
  void ShowCancel(bool) override {}
  bool Cancelled() const override { return false; }
  int gauge = 0;
};

class BenchUI final : public qv::JobUI {
 public:
  explicit BenchUI(std::filesystem::path rom) : rom_(std::move(rom)) {}
  void ShowError(const std::string& text) override {
    std::fprintf(stderr, "error: %s\n", text.c_str());
    failed = true;
  }
  void ShowInfo(const std::string& text) override { info = text; }
  int AskYesNo(const std::string&) override { return kYes; }
  std::unique_ptr<qv::ProgressDialog> CreateProgress() override {
    return std::make_unique<QuietProgress>();
  }
  std::optional<std::filesystem::path> ChooseFirmwareFile() override { return rom_; }
  std::optional<std::filesystem::path> ChooseSettingsFile() override { return std::nullopt; }
  void ProcessMessages() override {}

  bool failed = false;
  std::string info;

 private:
  std::filesystem::path rom_;
};

// The machine's load while the run took place: the device thread's pacing needs a free core, so
// a busy machine shows up as time over the limit.
std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five;
  in >> one >> five;
  return one + " " + five;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The whole request frame of a logged request: length, address, header word, command, payload,
// checksum.
std::vector<uint8_t> FrameOf(const qv::sim::RequestRecord& r) {
  std::vector<uint8_t> frame = {static_cast<uint8_t>(r.payload.size() + 6), r.address, 1, 0,
                                r.command};
  frame.insert(frame.end(), r.payload.begin(), r.payload.end());
  uint8_t sum = 0;
  for (uint8_t b : frame)
    sum = static_cast<uint8_t>(sum + b);
  frame.push_back(static_cast<uint8_t>(0x100 - sum));
  return frame;
}

// Sends each frame and reads its whole reply with nothing but write, poll and read; returns the
// wall time in seconds, or a negative value when a reply did not come.
double BareReplay(const std::string& path, const std::vector<std::vector<uint8_t>>& frames) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  tcflush(fd, TCIOFLUSH);
  uint8_t reply[256];
  auto t0 = std::chrono::steady_clock::now();
  for (const auto& frame : frames) {
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) break;
    size_t got = 0, want = 1;
    while (got < want) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) {
        ::close(fd);
        return -1;
      }
      ssize_t n = ::read(fd, reply + got, want - got);
      if (n > 0) got += static_cast<size_t>(n);
      if (got >= 1) want = reply[0];
    }
  }
  auto t1 = std::chrono::steady_clock::now();
  ::close(fd);
  return std::chrono::duration<double>(t1 - t0).count();
}

std::filesystem::path WriteRom(const qv::sim::DeviceModel& model) {
  std::vector<uint8_t> rom(kPages * 1024 + 7);
  for (size_t i = 0; i < rom.size(); ++i)
    rom[i] = static_cast<uint8_t>(i * 13 + (i >> 10));
  uint8_t* t = rom.data() + rom.size() - 7;
  t[0] = model.type;
  t[1] = static_cast<uint8_t>(model.version);
  t[2] = static_cast<uint8_t>(model.version >> 8);
  t[3] = 0x00;
  t[4] = 0x40;
  t[5] = 0x00;
  t[6] = 0x08;
  auto path = std::filesystem::temp_directory_path() / "qv-upload-bench.rom";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(rom.data()), static_cast<std::streamsize>(rom.size()));
  return path;
}

}  // namespace

int main() {
  qv::sim::SimDevice device;
  device.pacing.baud = kBaud;
  device.command_ms[qv::device::kProgramPage] = kPageMs;
  std::filesystem::path rom = WriteRom(device.Model());

  // Every byte on the wire and every millisecond the device spends, as the device counts them.
  std::atomic<uint64_t> wire_bytes{0};
  std::atomic<uint64_t> device_ms{0};
  std::atomic<uint64_t> requests{0};
  std::atomic<bool> recording{true};
  std::vector<std::vector<uint8_t>> frames;  // written on the device thread while recording
  qv::sim::PtyDevice::Options options;
  options.on_request = [&](const qv::sim::RequestRecord& r, const qv::sim::WireReply& reply) {
    if (!recording) return;
    wire_bytes += r.payload.size() + 6 + reply.bytes.size();
    device_ms += static_cast<uint64_t>(reply.delay_ms);
    requests++;
    frames.push_back(FrameOf(r));
  };
  qv::sim::PtyDevice pty(std::move(device), options);
  if (auto ec = pty.Start()) {
    std::fprintf(stderr, "cannot open a pseudo-terminal: %s\n", ec.message().c_str());
    return 1;
  }

  BenchUI ui(rom);
  qv::platform::TableSerialPlatform platform(qv::platform::PortTable::SinglePath(pty.SlavePath()));
  qv::platform::NullMessagePump pump;
  qv::TKV_RS link(platform, ui, qv::platform::SystemClock(), pump);
  qv::WindowFields fields;
  qv::JobGuard guard;
  qv::JobContext ctx{link, ui, qv::platform::SystemClock(), [] { return true; }, fields, guard};

  double cpu0 = ThreadCpuSeconds();
  auto t0 = std::chrono::steady_clock::now();
  qv::JobResult result = qv::UploadFirmware(ctx);
  auto t1 = std::chrono::steady_clock::now();
  double cpu = ThreadCpuSeconds() - cpu0;
  recording = false;
  size_t programmed = pty.With([](qv::sim::SimDevice& d) { return d.Model().program_log.size(); });
  double bare = BareReplay(pty.SlavePath(), pty.With([&](qv::sim::SimDevice&) { return frames; }));
  pty.Stop();
  std::filesystem::remove(rom);

  if (result.outcome != qv::JobOutcome::kDone || ui.failed || programmed != kPages) {
    std::fprintf(stderr, "upload failed: %zu of %zu pages programmed\n", programmed, kPages);
    return 1;
  }

  double wall = std::chrono::duration<double>(t1 - t0).count();
  double wire = static_cast<double>(wire_bytes) * 11.0 / kBaud;
  double own = static_cast<double>(device_ms) / 1000.0;
  double limit = wire + own;
  std::printf("upload of %zu KiB over a pty at %u baud, %u ms per page\n", kPages, kBaud, kPageMs);
  std::printf("  exchanges         %llu\n", static_cast<unsigned long long>(requests.load()));
  std::printf("  bytes on the wire %llu (both directions)\n",
              static_cast<unsigned long long>(wire_bytes.load()));
  std::printf("  limit             %.3f s (wire %.3f s + device %.3f s)\n", limit, wire, own);
  std::printf("  wall time         %.3f s (%+.2f %% over the limit, target 3 %%)\n", wall,
              (wall / limit - 1.0) * 100.0);
  std::printf("  bare replay       %.3f s (%+.2f %% over the limit): the pty and scheduler alone\n",
              bare, (bare / limit - 1.0) * 100.0);
  std::printf("  job thread CPU    %.3f s (%.2f %% of wall time, target 5 %%)\n", cpu,
              cpu / wall * 100.0);
  std::printf("  load average      %s (1 and 5 minutes)\n", LoadAverage().c_str());
  return 0;
}
