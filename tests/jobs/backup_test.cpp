#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/exception.h"
#include "job_fixture.h"
#include "jobs/file_io.h"
#include "jobs/job_texts.h"
#include "jobs/settings_backup.h"
#include "jobs/settings_file.h"
#include "link/device_commands.h"
#include "link/link_texts.h"

namespace qv {
namespace {

using test::Events;

class Backup : public test::JobTest {
 protected:
  // Every file in the folder, by name.
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(Backup, SavesBlocks1To127BehindTheVersionWordUnderTheDateName) {
  Model().version = 0x1234;
  JobResult result = BackupSettings(*ctx);
  EXPECT_EQ(result.outcome, JobOutcome::kDone);
  const std::string name = "2026_02_03_09_05.prmz";
  EXPECT_EQ(ui.Shown(), Events{std::string("info:") + texts::kSavedToFile + name});
  EXPECT_EQ(Files(), std::vector<std::string>{name});
  EXPECT_EQ(fields.SettingsVersion, 0x1234);

  std::vector<uint8_t> file = ReadWholeFile(folder / name);
  ASSERT_EQ(file.size(), 4066u);
  EXPECT_EQ(file[0], 0x34);
  EXPECT_EQ(file[1], 0x12);
  SettingsFile back = DecodeSettingsFile(file);
  EXPECT_TRUE(std::equal(back.image.begin(), back.image.end(), Model().settings.begin() + 32));

  std::vector<uint16_t> blocks;
  for (const auto& r : Model().Requests(device::kReadBlock))
    blocks.push_back(sim::Word(r.payload, 0));
  ASSERT_EQ(blocks.size(), 127u);
  EXPECT_EQ(blocks.front(), 1);
  EXPECT_EQ(blocks.back(), 127);
  std::vector<int> gauges = ui.Gauges();
  ASSERT_EQ(gauges.size(), 128u);
  EXPECT_EQ(gauges[0], 0);
  EXPECT_EQ(gauges[1], 1);
  EXPECT_EQ(gauges[64], 50);
  EXPECT_EQ(gauges[127], 100);
  EXPECT_FALSE(PortOpen());
}

TEST_F(Backup, StagesOfTheDialogInOrder) {
  BackupSettings(*ctx);
  Events head(ui.events.begin(), ui.events.begin() + 11);
  Events expected = {
      "create",       "cancel:1",     std::string("label:") + texts::kConnecting,
      "show_gauge:0", "process",      std::string("label:") + texts::kReadingSettings,
      "gauge:0",      "show_gauge:1", "process",
      "cancel:0",     "gauge:1"};
  EXPECT_EQ(head, expected);
  EXPECT_EQ(ui.events.back(), "destroy(port open)");
}

TEST_F(Backup, SameMinuteReplacesTheFileAndAMidnightNameHasZeros) {
  ctx->local_time = [] { return LocalDateTime{2027, 1, 1, 0, 0, 0}; };
  BackupSettings(*ctx);
  Model().settings[40] ^= 0xFF;
  BackupSettings(*ctx);
  EXPECT_EQ(Files(), std::vector<std::string>{"2027_01_01_00_00.prmz"});
  SettingsFile back = DecodeSettingsFile(ReadWholeFile(folder / "2027_01_01_00_00.prmz"));
  EXPECT_EQ(back.image[8], Model().settings[40]);
}

TEST_F(Backup, FailedBlockReadLeavesNoFileAndTheOlderFileSurvives) {
  const std::string name = "2026_02_03_09_05.prmz";
  ChooseFile(name, {'o', 'l', 'd'});
  dev.device.Plan().Add(test::Silent(device::kReadBlock, 1 + 40));  // from block 40 on
  try {
    BackupSettings(*ctx);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), texts::kNoLink);
  }
  EXPECT_EQ(Files(), std::vector<std::string>{name});
  EXPECT_EQ(ReadWholeFile(folder / name), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_TRUE(ui.Shown().empty());
  EXPECT_EQ(ui.events.back(), "destroy(port open)");
  EXPECT_FALSE(PortOpen());
  EXPECT_FALSE(guard.Busy());
}

TEST_F(Backup, WriteFailureNamesTheFileAndReasonAndLeavesNoTemporary) {
  // A folder where the file should go: the rename fails and the folder stays as it was.
  const std::string name = "2026_02_03_09_05.prmz";
  std::filesystem::create_directory(folder / name);
  try {
    BackupSettings(*ctx);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    std::string text = e.what();
    EXPECT_EQ(text.rfind(std::string(texts::kCannotWriteFile) + name + ": ", 0), 0u) << text;
    EXPECT_TRUE(e.Code());
  }
  EXPECT_EQ(Files(), std::vector<std::string>{name});
  EXPECT_TRUE(std::filesystem::is_directory(folder / name));
  EXPECT_TRUE(ui.Shown().empty());
  EXPECT_FALSE(PortOpen());
}

TEST_F(Backup, FrontEndMayNameTheFile) {
  std::filesystem::path out = folder / "named.prmz";
  EXPECT_EQ(BackupSettings(*ctx, out).outcome, JobOutcome::kDone);
  EXPECT_EQ(ui.Shown(), Events{std::string("info:") + texts::kSavedToFile + PathText(out)});
  EXPECT_EQ(std::filesystem::file_size(out), 4066u);
}

}  // namespace
}  // namespace qv
