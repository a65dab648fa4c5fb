// The soak: ten thousand exchanges and twenty complete jobs against the in-process simulated
// device, with faults drawn at random from a fixed seed. No crash, no hang (every exchange and
// every job within its bound of virtual time), every failure one of the system's texts, and
// every answered request read back with the device's own data.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "common/exception.h"
#include "fault_fixture.h"
#include "link/device_commands.h"
#include "link/link_texts.h"
#include "sim/in_process_device.h"

namespace qv::fault {
namespace {

using sim::FaultKind;
using sim::FaultRule;

constexpr uint32_t kSeed = 20261211;
constexpr int kExchanges = 10000;
constexpr int kJobs = 20;

// The first reply byte within every request's time-out (Identify's 100 ms is the shortest).
constexpr uint32_t kDelayWithinTimeout = 101;

// A fault for one to three requests from one of the next four, of a kind drawn at random. Its
// delays stay within the time-out: a reply that comes after the engine has given up and tried
// again is still on its way when the next request is sent, past that request's purge, and the
// engine takes it for that request's reply, as it takes any well-formed frame.
FaultRule RandomRule(std::mt19937& rng, uint32_t next_frame) {
  static constexpr FaultKind kKinds[] = {
      FaultKind::kSilent,   FaultKind::kBusy,    FaultKind::kChecksum, FaultKind::kShort,
      FaultKind::kTruncate, FaultKind::kSurplus, FaultKind::kDelay,    FaultKind::kUnplug,
  };
  const FaultKind kind = kKinds[rng() % std::size(kKinds)];
  const uint32_t from = next_frame + rng() % 4;
  const uint32_t count = 1 + rng() % 3;
  uint32_t value = 0;
  switch (kind) {
    case FaultKind::kShort:
      value = rng() % 6;
      break;
    case FaultKind::kTruncate:
      value = 1 + rng() % 8;
      break;
    case FaultKind::kSurplus:
      value = 1 + rng() % 40;
      break;
    case FaultKind::kDelay:
      value = rng() % (kDelayWithinTimeout + 1);
      break;
    case FaultKind::kUnplug:
      value = 200 + rng() % 2000;
      break;
    default:
      break;
  }
  return FaultRule(kind, from, count, value);
}

constexpr int64_t kLateReplyMaxMs = 4100;

// A reply later than any time-out, for all three attempts of the next exchange, which fails.
FaultRule LateReplies(std::mt19937& rng, uint32_t next_frame) {
  return FaultRule(FaultKind::kDelay, next_frame, 3,
                   static_cast<uint32_t>(kLateReplyMaxMs - rng() % 1000));
}

// After a failed exchange the soak waits this long before the next one, as a job's clean-up or
// connection pause would: the device answers one request at a time, so the late replies of all
// three attempts come one after another, and all of them must be in (and purged by the next
// send) before the next request, or one would be taken for its reply.
constexpr int64_t kAfterFailureMs = 3 * kLateReplyMaxMs + 1000;

// The longest one Transact may take at a reply time-out: three attempts of a first-byte wait and
// up to 254 late bytes, and two pauses.
int64_t TransactBound(int64_t reply_timeout) {
  return 3 * (reply_timeout + 5 + 254 * (kByteTimeout + 1)) + 2 * TKV_RS::kRetryPauseMs;
}

struct Figures {
  int exchanges = 0;
  int answered = 0;
  std::map<std::string, int> failures;  // by text
  std::map<std::string, int> jobs;      // by outcome
};

constexpr int kCommands = 5;
// The reply time-out of command `which` of RandomExchange.
int64_t TimeoutOf(int which) {
  constexpr int64_t kTimeouts[kCommands] = {
      device::timeout::kIdentify, device::timeout::kReadBlock, device::timeout::kPageChunk,
      device::timeout::kProgramPage, device::timeout::kRestoreArea};
  return kTimeouts[which];
}

// One exchange of command `which`, its reply checked against the model.
void RandomExchange(int which, std::mt19937& rng, TKV_RS& link, sim::DeviceModel& model) {
  std::array<uint8_t, 32> data{};
  for (auto& b : data)
    b = static_cast<uint8_t>(rng());
  switch (which) {
    case 0: {
      const device::Identity id = device::Identify(link);
      EXPECT_EQ(id.type, model.type);
      EXPECT_EQ(id.version, model.version);
      return;
    }
    case 1: {
      const auto block = static_cast<uint16_t>(rng() % sim::DeviceModel::kBlocks);
      std::array<uint8_t, 32> got{};
      device::ReadBlock(link, block, got.data(), got.size(), device::timeout::kReadBlock);
      EXPECT_TRUE(std::equal(got.begin(), got.end(), model.settings.begin() + 32 * block))
          << "block " << block << " read back wrong";
      return;
    }
    case 2:
      device::PageChunk(link, static_cast<uint8_t>(rng() % 32), data.data());
      return;
    case 3: {
      const device::PageStatus status = device::ProgramPage(link, 0x10000 + 1024 * (rng() % 64));
      EXPECT_EQ(status.flags, 0);
      EXPECT_EQ(status.code, 0);
      return;
    }
    default: {
      const auto count = static_cast<uint16_t>(1 + rng() % 32);
      device::WriteChunk(link, static_cast<uint16_t>(rng() % 4), data.data(), count,
                         device::timeout::kRestoreArea);
      return;
    }
  }
}

TEST(Soak, RandomFaultsFromAFixedSeed) {
  const auto wall_start = std::chrono::steady_clock::now();
  std::mt19937 rng(kSeed);
  Figures figures;

  sim::InProcessDevice dev;
  FaultUI ui;
  platform::NullMessagePump pump;
  TKV_RS link(dev.Platform(), ui, dev.clock, pump);
  link.SetActive(true);
  ASSERT_TRUE(link.PortOpen);

  for (int i = 0; i < kExchanges; ++i) {
    sim::FaultPlan plan;
    const uint32_t next = dev.Model().RequestCount() + 1;
    const uint32_t draw = rng() % 100;
    if (draw < 18) {
      plan.Add(RandomRule(rng, next));
    } else if (draw < 20) {
      plan.Add(LateReplies(rng, next));
    }
    dev.device.SetPlan(plan);
    const int which = static_cast<int>(rng() % kCommands);
    const int64_t start = dev.clock.NowMs();
    ++figures.exchanges;
    bool failed = false;
    try {
      RandomExchange(which, rng, link, dev.Model());
      ++figures.answered;
    } catch (const Exception& e) {
      failed = true;
      ++figures.failures[e.what()];
      EXPECT_TRUE(IsSystemText(e.what())) << e.what();
    }
    ASSERT_LE(dev.clock.NowMs() - start, TransactBound(TimeoutOf(which))) << "exchange " << i;
    if (failed) {
      // As a job does after a failure: pause, then reopen the port, which finds a device that
      // was pulled and has been plugged back.
      dev.clock.SleepMs(kAfterFailureMs);
      link.SetActive(true);
    }
    if (::testing::Test::HasFailure()) break;
  }
  const int64_t exchange_virtual_ms = dev.clock.NowMs();

  // Complete jobs, each on a fresh device with one or two faults somewhere in its run.
  int64_t job_virtual_ms = 0;
  for (int j = 0; j < kJobs && !::testing::Test::HasFailure(); ++j) {
    const Job job = static_cast<Job>(j % 3);
    SCOPED_TRACE(std::string("job ") + std::to_string(j) + " " + JobName(job));
    TempFolder folder("soak-" + std::to_string(j));
    const std::vector<uint8_t> older = {'o', 'l', 'd'};
    std::ofstream(kBackupName, std::ios::binary)
        .write(reinterpret_cast<const char*>(older.data()), older.size());
    sim::InProcessDevice job_dev;
    sim::FaultPlan plan;
    const int faults = 1 + static_cast<int>(rng() % 2);
    for (int f = 0; f < faults; ++f)
      plan.Add(RandomRule(rng, 1 + rng() % 120));
    if (job == Job::kUpload && rng() % 3 == 0) plan.program_statuses.push_back({0x01, 0});
    job_dev.device.SetPlan(plan);
    FaultUI job_ui;
    TKV_RS job_link(job_dev.Platform(), job_ui, job_dev.clock, pump);

    const JobEnd end = RunJob(job, job_link, job_ui, job_dev.clock);
    std::string outcome = end.escaped                        ? "top-level: " + end.top_level
                          : !end.errors.empty()              ? "shown: " + end.errors.front()
                          : end.outcome == JobOutcome::kDone ? "done"
                                                             : "cancelled";
    ++figures.jobs[outcome];
    for (const auto& e : end.errors)
      EXPECT_TRUE(IsSystemText(e)) << e;
    if (end.escaped) {
      EXPECT_TRUE(IsSystemText(end.top_level)) << end.top_level;
    }
    EXPECT_FALSE(job_dev.Line().is_open) << "port closed after the job";
    // Every request the job sent waited at most its time-out, one late byte and a pause; every
    // failed connection attempt 3000 ms more; a delay fault at most 1200 ms per request.
    int64_t bound = 3000 * int64_t{job_ui.processed};
    for (const auto& r : job_dev.Model().Log()) {
      (void)r;
      bound += device::timeout::kRestoreArea + 5 + kByteTimeout + 2 + TKV_RS::kRetryPauseMs;
    }
    EXPECT_LE(job_dev.clock.NowMs(), bound);
    job_virtual_ms += job_dev.clock.NowMs();
    CheckNothingLost(job, end, job_dev.Model(), older);
  }

  const double wall_s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  std::printf("soak: seed %u, %d exchanges (%u frames sent), %d answered, %d failed\n", kSeed,
              figures.exchanges, dev.Model().RequestCount(), figures.answered,
              figures.exchanges - figures.answered);
  for (const auto& [text, n] : figures.failures)
    std::printf("soak:   %5d  %s\n", n, text.c_str());
  std::printf("soak: %d jobs\n", kJobs);
  for (const auto& [text, n] : figures.jobs)
    std::printf("soak:   %5d  %s\n", n, text.c_str());
  std::printf("soak: virtual time %.1f s (exchanges) + %.1f s (jobs), wall time %.2f s\n",
              exchange_virtual_ms / 1000.0, job_virtual_ms / 1000.0, wall_s);
  EXPECT_EQ(figures.exchanges, kExchanges);
}

}  // namespace
}  // namespace qv::fault
