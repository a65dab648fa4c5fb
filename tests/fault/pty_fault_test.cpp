// The fault rows where the real serial path matters, over a pseudo-terminal against the simulated
// device in real time: surplus bytes that only the port's purge discards, a reply that stops
// short under the real byte time-out, and a device pulled during the job (the pty's far end
// closes, reads fail) and plugged back, with the job's CPU time measured against its wall time.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fault_fixture.h"
#include "link/device_commands.h"
#include "link/link_texts.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "sim/pty_device.h"

namespace qv::fault {
namespace {

using sim::FaultKind;
using sim::FaultPlan;
using sim::FaultRule;

int64_t ThreadCpuMs() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

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

struct PtyRow {
  const char* fault;
  std::function<FaultRule(Job)> rule;
  Expect upload, backup, restore;
  bool replug = false;
};

const std::vector<PtyRow>& PtyRows() {
  static const std::vector<PtyRow> rows = {
      {"surplus bytes after every reply",
       [](Job) { return FaultRule(FaultKind::kSurplus, 1, 0, 3); }, Expect{End::kDone},
       Expect{End::kDone}, Expect{End::kDone}},
      {"truncated reply from request k",
       [](Job j) { return FaultRule(FaultKind::kTruncate, MidFrame(j), 0, 4); },
       Expect{End::kShown, texts::kByteTimeout}, Expect{End::kTopLevel, texts::kByteTimeout},
       Expect{End::kTopLevel, texts::kByteTimeout}},
      {"unplugged during a page, plugged back after 300 ms",
       [](Job j) { return FaultRule(FaultKind::kUnplug, MidFrame(j), 1, 300); },
       Expect{End::kShown, texts::kNoLink}, Expect{End::kTopLevel, texts::kNoLink},
       Expect{End::kTopLevel, texts::kNoLink}, true},
  };
  return rows;
}

template <typename F>
bool Eventually(F done) {
  for (int i = 0; i < 3000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

class PtyFaultTable : public ::testing::TestWithParam<size_t> {};

const std::vector<uint8_t> kOlderBackup = {'o', 'l', 'd', 'e', 'r'};

TEST_P(PtyFaultTable, EachJob) {
  const PtyRow& row = PtyRows()[GetParam()];
  for (Job job : {Job::kUpload, Job::kBackup, Job::kRestore}) {
    const Expect& expect =
        job == Job::kUpload ? row.upload : (job == Job::kBackup ? row.backup : row.restore);
    SCOPED_TRACE(std::string(row.fault) + " / " + JobName(job));

    TempFolder folder("pty-" + std::to_string(GetParam()) + "-" + JobName(job));
    std::ofstream(kBackupName, std::ios::binary)
        .write(reinterpret_cast<const char*>(kOlderBackup.data()), kOlderBackup.size());
    sim::PtyDevice::Options options;
    // The device's path lives outside the folder, so that the folder holds only the job's files.
    options.link_path = folder.Path().string() + "-device";
    FaultPlan plan;
    plan.Add(row.rule(job));
    sim::PtyDevice pty(sim::SimDevice(plan), options);
    ASSERT_FALSE(pty.Start());

    platform::TableSerialPlatform serial(platform::PortTable::SinglePath(options.link_path));
    FaultUI ui;
    platform::NullMessagePump pump;
    platform::Clock& clock = platform::SystemClock();
    TKV_RS link(serial, ui, clock, pump);

    const int64_t wall_start = clock.NowMs();
    const int64_t cpu_start = ThreadCpuMs();
    const JobEnd end = RunJob(job, link, ui, clock);
    const int64_t wall = clock.NowMs() - wall_start;
    const int64_t cpu = ThreadCpuMs() - cpu_start;

    CheckEnd(expect, end);
    EXPECT_FALSE(link.PortOpen);
    EXPECT_EQ(link.PortHandle, nullptr) << "port closed after the job";
    // At most three attempts of a restore's 3000 ms and the pauses, on top of the exchanges.
    EXPECT_LT(wall, 3 * 3001 + 100 + 5000);
    if (expect.end != End::kDone) {
      // The failed exchanges were waited out, not spun through: a loop polling the hung-up port
      // for seconds would burn far more than the job's own work does.
      EXPECT_LT(cpu, 250) << "cpu " << cpu << " ms of " << wall << " ms";
    }
    pty.With([&](sim::SimDevice& d) {
      CheckNothingLost(
          job, end, d.Model(),
          expect.end == End::kDone && job == Job::kBackup ? std::vector<uint8_t>{} : kOlderBackup);
      return 0;
    });

    if (row.replug) {
      // Plugged back: the symlink names the new pty, and the next run finds the device there.
      ASSERT_TRUE(Eventually([&] { return pty.Plugged(); }));
      const JobEnd again = RunJob(job, link, ui, clock);
      CheckEnd(Expect{End::kDone}, again);
      EXPECT_EQ(link.PortHandle, nullptr);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, PtyFaultTable, ::testing::Range<size_t>(0, PtyRows().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return RowTestName(info.param, PtyRows()[info.param].fault);
                         });

}  // namespace
}  // namespace qv::fault
