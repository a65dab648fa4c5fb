#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/exception.h"
#include "job_fixture.h"
#include "jobs/firmware_upload.h"
#include "jobs/job_texts.h"
#include "jobs/settings_backup.h"
#include "jobs/settings_file.h"
#include "jobs/settings_restore.h"
#include "link/device_commands.h"
#include "link/link_texts.h"

namespace qv {
namespace {

using test::Events;
using Job = std::function<JobResult(JobContext&)>;

struct NamedJob {
  const char* name;
  Job run;
};

const NamedJob kJobs[] = {
    {"upload", [](JobContext& c) { return UploadFirmware(c); }},
    {"backup", [](JobContext& c) { return BackupSettings(c); }},
    {"restore", [](JobContext& c) { return RestoreSettings(c); }},
};

// A .rom for the simulated device: one page and the trailer (type 0x21, version 0x0405).
std::vector<uint8_t> OnePageRom() {
  std::vector<uint8_t> rom(1024 + 7, 0x5A);
  const uint8_t trailer[7] = {0x21, 0x05, 0x04, 0x00, 0x00, 0x01, 0x00};
  std::copy(std::begin(trailer), std::end(trailer), rom.end() - 7);
  return rom;
}

class JobRun : public test::JobTest {
 protected:
  // A file the job can use: a .rom for the upload, a backup of the device for the restore.
  void ChooseFileFor(const std::string& job) {
    if (job == "upload") ChooseFile("image.rom", OnePageRom());
    if (job == "restore") {
      std::vector<uint8_t> image(Model().settings.begin() + 32, Model().settings.end());
      ChooseFile("saved.prmz", EncodeSettingsFile(Model().version, image));
    }
  }
  std::vector<std::string> NonAskMessages() {
    std::vector<std::string> out;
    for (const auto& m : ui.Shown()) {
      if (m.rfind("ask:", 0) != 0) out.push_back(m);
    }
    return out;
  }
};

TEST_F(JobRun, CancelWhileConnectingEndsSilentlyWithThePortClosedAndTheDialogFreed) {
  dev.device.Plan().Add(test::Silent(device::kIdentify));
  for (const NamedJob& job : kJobs) {
    ui.events.clear();
    Model().ClearLog();
    ChooseFileFor(job.name);
    int processed = 0;
    ui.on_process = [&] {
      if (++processed == 2) ui.progress->ClickCancel();
    };
    JobResult result = job.run(*ctx);
    EXPECT_EQ(result.outcome, JobOutcome::kCancelled) << job.name;
    EXPECT_EQ(result.connect_failure, texts::kNoLink) << job.name;
    EXPECT_TRUE(NonAskMessages().empty()) << job.name;
    EXPECT_EQ(ui.progress, nullptr) << job.name;
    EXPECT_EQ(ui.events.back(), "destroy(port open)") << job.name;
    EXPECT_FALSE(PortOpen()) << job.name;
    for (uint8_t cmd : Commands())
      EXPECT_EQ(cmd, device::kIdentify) << job.name;
    EXPECT_FALSE(guard.Busy());
  }
}

TEST_F(JobRun, DeviceAnsweringLateIsReopenedAndWaitedForEvery3000Ms) {
  // Two connection attempts (three tries of the link each) go unanswered.
  dev.device.Plan().Add(test::Silent(device::kIdentify, 1, 6));
  ChooseFileFor("upload");
  EXPECT_EQ(UploadFirmware(*ctx).outcome, JobOutcome::kDone);
  EXPECT_EQ(CountOf(device::kIdentify), 7u);
  // The job's open, then a reopen after each failed attempt; all closed at the end.
  EXPECT_EQ(dev.Line().opens, 3);
  EXPECT_EQ(dev.Line().closes, 3);
  // Two pauses of 3000 ms, and the link's own two 50 ms pauses inside each attempt.
  EXPECT_EQ(dev.clock.SleptMs(), 2 * 3000 + 2 * 2 * 50);
}

TEST_F(JobRun, SecondJobIsRefusedWhileOneRunsWithoutTouchingTheLink) {
  std::vector<bool> changes;
  guard.OnChange([&](bool busy) { changes.push_back(busy); });
  ChooseFileFor("upload");
  std::vector<JobOutcome> nested;
  size_t requests_before = 0, requests_after = 0;
  ui.on_process = [&] {
    if (!nested.empty()) return;
    EXPECT_TRUE(guard.Busy());
    requests_before = Model().RequestCount();
    for (const NamedJob& job : kJobs)
      nested.push_back(job.run(*ctx).outcome);
    requests_after = Model().RequestCount();
  };
  EXPECT_EQ(BackupSettings(*ctx).outcome, JobOutcome::kDone);
  EXPECT_EQ(nested, std::vector<JobOutcome>(3, JobOutcome::kBusy));
  EXPECT_EQ(requests_after, requests_before);
  EXPECT_EQ(find_calls, 1);
  EXPECT_EQ(changes, (std::vector<bool>{true, false}));
  EXPECT_EQ(NonAskMessages().size(), 1u);  // only the backup's own message
}

// Answers like the simulated device, but cuts the payload of one command's replies to `keep`
// bytes in a well-formed frame, so only the length of the reply is wrong.
class ShortReplyPeer final : public platform::fake::FakePeer {
 public:
  ShortReplyPeer(sim::DeviceModel& model, uint8_t command, size_t keep)
      : model_(model), command_(command), keep_(keep) {}
  void OnHostWrite(const uint8_t* data, size_t size, int64_t now,
                   platform::fake::FakeLine& line) override {
    std::vector<uint8_t> reply;
    if (!model_.Handle(data, size, reply)) return;
    if (reply[4] == command_) {
      std::vector<uint8_t> payload(reply.begin() + 5, reply.begin() + 5 + keep_);
      sim::DeviceModel::BuildReply(command_, payload.data(), payload.size(), reply);
    }
    line.Deliver(now + 1, reply);
  }

 private:
  sim::DeviceModel& model_;
  uint8_t command_;
  size_t keep_;
};

TEST_F(JobRun, ReplyShorterThanItsFieldsIsALinkFailure) {
  struct Case {
    const char* job;
    uint8_t command;
    size_t keep;
    bool raises;  // the job leaves as Exception (else it shows the text itself)
  };
  const Case cases[] = {
      {"upload", device::kProgramPage, 1, false},
      {"upload", device::kReadBlock, 19, false},
      {"backup", device::kReadBlock, 31, true},
      {"restore", device::kReadBlock, 31, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.job) + " command " + std::to_string(c.command));
    ui.events.clear();
    Model().ClearLog();
    ChooseFileFor(c.job);
    ShortReplyPeer peer(Model(), c.command, c.keep);
    dev.Line().SetPeer(&peer);
    const Job& run = c.job == std::string("upload")   ? kJobs[0].run
                     : c.job == std::string("backup") ? kJobs[1].run
                                                      : kJobs[2].run;
    if (c.raises) {
      try {
        run(*ctx);
        ADD_FAILURE() << "no exception";
      } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), texts::kShortReply);
      }
      EXPECT_TRUE(NonAskMessages().empty());
    } else {
      EXPECT_EQ(run(*ctx).outcome, JobOutcome::kFailed);
      EXPECT_EQ(NonAskMessages(), Events{std::string("error:") + texts::kShortReply});
    }
    EXPECT_EQ(CountOf(device::kWriteChunk) + CountOf(device::kBeginArea), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder / "2026_02_03_09_05.prmz"));
    EXPECT_FALSE(PortOpen());
    dev.Line().SetPeer(&dev.Peer());
  }
}

TEST_F(JobRun, ShortIdentifyReplyIsWaitedOutLikeNoReply) {
  ShortReplyPeer peer(Model(), device::kIdentify, 2);
  dev.Line().SetPeer(&peer);
  ChooseFileFor("upload");
  ui.on_process = [&] { ui.progress->ClickCancel(); };
  JobResult result = UploadFirmware(*ctx);
  EXPECT_EQ(result.outcome, JobOutcome::kCancelled);
  EXPECT_EQ(result.connect_failure, texts::kShortReply);
  EXPECT_EQ(Commands(), std::vector<uint8_t>{device::kIdentify});
  dev.Line().SetPeer(&dev.Peer());
}

}  // namespace
}  // namespace qv
