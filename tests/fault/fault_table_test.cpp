// One table of device faults against the three jobs, on the in-process simulated device and a
// virtual clock. For every row and job: the message the user sees, how the job ends, the port
// closed afterwards, nothing lost (an older backup file of the same name survives a failed
// backup and no partial file is left; a failed restore stores no area after the failing one; a
// failed upload programs no page after the failing one and leaves the settings memory alone),
// and every wait bounded.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fault_fixture.h"
#include "jobs/job_texts.h"
#include "jobs/settings_file.h"
#include "link/device_commands.h"
#include "link/link_texts.h"
#include "sim/in_process_device.h"

namespace qv::fault {
namespace {

using sim::FaultKind;
using sim::FaultPlan;
using sim::FaultRule;

// The request every job spends most of its exchanges on, for the delay rows: its reply time-out
// and the transmission allowance of its request at 115200 baud (9600 / 115200 × TxLength).
struct MainRequest {
  uint8_t command;
  int64_t timeout;
  int64_t allowance;
};
MainRequest MainOf(Job job) {
  switch (job) {
    case Job::kUpload:
      return {device::kPageChunk, device::timeout::kPageChunk, 3};  // 38 bytes
    case Job::kBackup:
      return {device::kReadBlock, device::timeout::kReadBlock, 1};  // 7 bytes
    case Job::kRestore:
      return {device::kBeginArea, device::timeout::kRestoreArea, 1};  // 9 bytes
  }
  return {};
}

// The frame at which the "from k" faults start: mid-way through each job's work (page 1's
// sixth chunk, block 60, the second area).
uint32_t MidFrame(Job job) {
  switch (job) {
    case Job::kUpload:
      return Frames::UploadChunk(1, 5);
    case Job::kBackup:
      return Frames::BackupBlock(60);
    case Job::kRestore:
      return Frames::RestoreArea(2);
  }
  return 1;
}

FaultPlan Plan(std::vector<FaultRule> rules) {
  FaultPlan plan;
  for (auto& r : rules)
    plan.Add(r);
  return plan;
}

FaultPlan FromMid(FaultKind kind, Job job, uint32_t count = 0, uint32_t value = 0) {
  return Plan({FaultRule(kind, MidFrame(job), count, value)});
}

// The first reply byte comes `beyond` ms past the main request's time-out plus allowance.
FaultPlan FirstByteDelay(Job job, int64_t beyond) {
  const MainRequest m = MainOf(job);
  const auto ms = static_cast<uint32_t>(m.timeout + m.allowance + beyond);
  return Plan({FaultRule(FaultKind::kDelay, 1, 0, ms).For(m.command)});
}

FaultPlan ProgramStatuses(std::vector<sim::ProgramStatus> statuses) {
  FaultPlan plan;
  for (auto s : statuses)
    plan.program_statuses.push_back(s);
  return plan;
}

struct Row {
  const char* fault;
  std::function<FaultPlan(Job)> plan;
  Expect upload, backup, restore;
  // Reply bytes after the fifth come this many ms late, for the main request of the job (0: none).
  int64_t byte_gap = 0;
  // The port goes away during the run: after it the device is plugged back and the job run again.
  bool replug = false;
};

const Expect kDone{End::kDone};
const Expect kCancelled{End::kCancelled};
const Expect kNotApplicable{End::kNone};
Expect Shown(const char* text) {
  return {End::kShown, text};
}
Expect TopLevel(const char* text) {
  return {End::kTopLevel, text};
}

const sim::ProgramStatus kOk{0, 0};

// The rows. The byte time-out rows count from the arrival of the fifth byte: the engine takes a
// byte that arrives within ByteTimeout + 1 ms of the one before (its deadline is "later than").
const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"silent from the first request", [](Job) { return Plan({FaultRule(FaultKind::kSilent)}); },
       kCancelled, kCancelled, kCancelled},
      {"silent from request k", [](Job j) { return FromMid(FaultKind::kSilent, j); },
       Shown(texts::kNoLink), TopLevel(texts::kNoLink), TopLevel(texts::kNoLink)},
      {"silent once at request k (the retry answers)",
       [](Job j) { return FromMid(FaultKind::kSilent, j, 1); }, kDone, kDone, kDone},
      {"busy from request k", [](Job j) { return FromMid(FaultKind::kBusy, j); },
       Shown(texts::kBusy), TopLevel(texts::kBusy), TopLevel(texts::kBusy)},
      {"busy twice at request k (the third attempt answers)",
       [](Job j) { return FromMid(FaultKind::kBusy, j, 2); }, kDone, kDone, kDone},
      {"checksum corrupt from request k", [](Job j) { return FromMid(FaultKind::kChecksum, j); },
       Shown(texts::kChecksumError), TopLevel(texts::kChecksumError),
       TopLevel(texts::kChecksumError)},
      {"length byte below 6 from request k",
       [](Job j) { return FromMid(FaultKind::kShort, j, 0, 5); }, Shown(texts::kNoLink),
       TopLevel(texts::kNoLink), TopLevel(texts::kNoLink)},
      {"truncated reply from request k",
       [](Job j) { return FromMid(FaultKind::kTruncate, j, 0, 4); }, Shown(texts::kByteTimeout),
       TopLevel(texts::kByteTimeout), TopLevel(texts::kByteTimeout)},
      {"truncated reply once (the retry answers)",
       [](Job j) { return FromMid(FaultKind::kTruncate, j, 1, 4); }, kDone, kDone, kDone},
      {"surplus bytes after every reply",
       [](Job) { return Plan({FaultRule(FaultKind::kSurplus, 1, 0, 3)}); }, kDone, kDone, kDone},
      {"first byte just under the reply time-out plus allowance",
       [](Job j) { return FirstByteDelay(j, 1); }, kDone, kDone, kDone},
      {"first byte just over the reply time-out plus allowance",
       [](Job j) { return FirstByteDelay(j, 2); }, Shown(texts::kNoLink), TopLevel(texts::kNoLink),
       TopLevel(texts::kNoLink)},
      {"later byte just under the byte time-out", [](Job) { return FaultPlan{}; }, kDone, kDone,
       kDone, kByteTimeout + 1},
      {"later byte just over the byte time-out", [](Job) { return FaultPlan{}; },
       Shown(texts::kByteTimeout), TopLevel(texts::kByteTimeout), TopLevel(texts::kByteTimeout),
       kByteTimeout + 2},
      {"ProgramPage low supply three times on page 1",
       [](Job) {
         return ProgramStatuses({kOk, {0x01, 0}, {0x01, 0}, {0x01, 0}});
       },
       Shown(texts::kLowSupply), kNotApplicable, kNotApplicable},
      {"ProgramPage erase failure three times on page 1",
       [](Job) {
         return ProgramStatuses({kOk, {0x02, 0}, {0x02, 0}, {0x02, 0}});
       },
       Shown(texts::kEraseFailed), kNotApplicable, kNotApplicable},
      {"ProgramPage addressing error (1), (2), (2) on page 0",
       [](Job) {
         return ProgramStatuses({{0, 1}, {0, 2}, {0, 2}});
       },
       Shown(texts::kAddressError2), kNotApplicable, kNotApplicable},
      {"ProgramPage write failures (2), then (1) last on page 1",
       [](Job) {
         return ProgramStatuses({kOk, {0, 4}, {0, 4}, {0, 3}});
       },
       Shown(texts::kWriteFailed1), kNotApplicable, kNotApplicable},
      {"ProgramPage failing twice, then programmed",
       [](Job) {
         return ProgramStatuses({{0x01, 0}, {0, 3}, kOk});
       },
       kDone, kNotApplicable, kNotApplicable},
      {"unplugged during a page, plugged back after 2 s",
       [](Job j) { return FromMid(FaultKind::kUnplug, j, 1, 2000); }, Shown(texts::kNoLink),
       TopLevel(texts::kNoLink), TopLevel(texts::kNoLink), 0, true},
      {"settings store stops answering (StoreArea silent)",
       [](Job j) {
         const uint32_t from = j == Job::kRestore ? Frames::RestoreArea(2) : 1;
         return Plan({FaultRule(FaultKind::kSilent, from).For(device::kStoreArea)});
       },
       Shown(texts::kNoLink), kNotApplicable, TopLevel(texts::kNoLink)},
  };
  return rows;
}

// Spreads a reply over time: every reply to `command` has its bytes after the fifth delivered
// `gap_ms` late. It stands between the line and the simulated device's own peer, whose timed
// bytes it collects on a line of its own and passes on.
class GapPeer final : public platform::fake::FakePeer {
 public:
  GapPeer(sim::InProcessPeer& inner, uint8_t command, int64_t gap_ms)
      : inner_(inner), command_(command), gap_ms_(gap_ms) {}

  void OnHostWrite(const uint8_t* data, size_t size, int64_t now,
                   platform::fake::FakeLine& line) override {
    inner_.OnHostWrite(data, size, now, collected_);
    const bool spread = size > 4 && data[4] == command_;
    size_t index = 0;
    while (auto at = collected_.NextArrival()) {
      collected_clock_.AdvanceTo(*at);
      uint8_t bytes[512];
      const size_t n = collected_.TakeArrived(bytes, sizeof bytes);
      for (size_t i = 0; i < n; ++i, ++index) {
        line.Deliver(*at + (spread && index >= 5 ? gap_ms_ : 0), &bytes[i], 1);
      }
    }
  }

 private:
  sim::InProcessPeer& inner_;
  uint8_t command_;
  int64_t gap_ms_;
  platform::fake::VirtualClock collected_clock_;
  platform::fake::FakeLine collected_{collected_clock_};
};

// The longest a run may take: for every request the device received, its reply time-out and
// allowance, one late byte's wait and a retry pause; and the 3000 ms pause after every failed
// connection attempt.
int64_t TimeBound(Job job, const sim::DeviceModel& model, int failed_connects) {
  int64_t bound = 0;
  for (const sim::RequestRecord& r : model.Log()) {
    int64_t timeout = device::timeout::kReadBlock;
    switch (r.command) {
      case device::kIdentify:
        timeout = device::timeout::kIdentify;
        break;
      case device::kProgramPage:
        timeout = device::timeout::kProgramPage;
        break;
      case device::kBeginArea:
        timeout = device::timeout::kRestoreArea;
        break;
      case device::kWriteChunk:
      case device::kStoreArea:
        timeout =
            job == Job::kRestore ? device::timeout::kRestoreArea : device::timeout::kUploadClosing;
        break;
      default:
        break;
    }
    bound += timeout + 5 + (kByteTimeout + 2) + TKV_RS::kRetryPauseMs;
  }
  return bound + int64_t{failed_connects} * 3000;
}

class FaultTable : public ::testing::TestWithParam<size_t> {};

const std::vector<uint8_t> kOlderBackup = {'o', 'l', 'd', 'e', 'r'};

TEST_P(FaultTable, EachJob) {
  const Row& row = Rows()[GetParam()];
  for (Job job : {Job::kUpload, Job::kBackup, Job::kRestore}) {
    const Expect& expect =
        job == Job::kUpload ? row.upload : (job == Job::kBackup ? row.backup : row.restore);
    if (expect.end == End::kNone) continue;
    SCOPED_TRACE(std::string(row.fault) + " / " + JobName(job));

    TempFolder folder(std::to_string(GetParam()) + "-" + JobName(job));
    std::ofstream(kBackupName, std::ios::binary)
        .write(reinterpret_cast<const char*>(kOlderBackup.data()), kOlderBackup.size());
    sim::InProcessDevice dev;
    dev.device.SetPlan(row.plan(job));
    std::unique_ptr<GapPeer> gap;
    if (row.byte_gap > 0) {
      gap = std::make_unique<GapPeer>(dev.Peer(), MainOf(job).command, row.byte_gap);
      dev.Line().SetPeer(gap.get());
    }
    FaultUI ui;
    platform::NullMessagePump pump;
    TKV_RS link(dev.Platform(), ui, dev.clock, pump);

    const JobEnd end = RunJob(job, link, ui, dev.clock);
    CheckEnd(expect, end);
    EXPECT_FALSE(link.PortOpen);
    EXPECT_FALSE(dev.Line().is_open) << "port closed after the job";
    EXPECT_LE(dev.clock.NowMs(), TimeBound(job, dev.Model(), ui.processed));
    if (job != Job::kBackup || expect.end != End::kDone) {
      CheckNothingLost(job, end, dev.Model(), kOlderBackup);
    } else {
      CheckNothingLost(job, end, dev.Model(), {});
    }

    if (row.replug) {
      // The device comes back: after its re-plug time the next run finds it and finishes.
      dev.clock.SleepMs(2000);
      dev.device.SetPlan(FaultPlan{});
      const JobEnd again = RunJob(job, link, ui, dev.clock);
      CheckEnd(kDone, again);
      EXPECT_FALSE(dev.Line().is_open);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultTable, ::testing::Range<size_t>(0, Rows().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return RowTestName(info.param, Rows()[info.param].fault);
                         });

}  // namespace
}  // namespace qv::fault
