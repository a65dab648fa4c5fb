#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/exception.h"
#include "job_fixture.h"
#include "jobs/job_texts.h"
#include "jobs/settings_backup.h"
#include "jobs/settings_file.h"
#include "jobs/settings_restore.h"
#include "link/device_commands.h"
#include "link/link_texts.h"

namespace qv {
namespace {

using test::Events;

struct Area {
  uint16_t start;
  uint16_t length;
};

// Writes a FAT (Count, firmware version byte, two bytes, entries) at the head of a table.
void PutFat(uint8_t* table, uint8_t count, uint8_t firmware, const std::vector<Area>& areas) {
  table[0] = count;
  table[1] = firmware;
  table[2] = table[3] = 0;
  for (size_t i = 0; i < areas.size(); ++i) {
    uint8_t* e = table + 4 * (i + 1);
    e[0] = static_cast<uint8_t>(areas[i].start);
    e[1] = static_cast<uint8_t>(areas[i].start >> 8);
    e[2] = static_cast<uint8_t>(areas[i].length);
    e[3] = static_cast<uint8_t>(areas[i].length >> 8);
  }
}

class Restore : public test::JobTest {
 protected:
  Restore() {
    image.resize(kSettingsImageBytes);
    for (size_t j = 0; j < image.size(); ++j)
      image[j] = static_cast<uint8_t>(0xC0 ^ (j * 5));
  }
  // The device's FAT, in its settings memory at address 32.
  void DeviceFat(uint8_t count, const std::vector<Area>& areas, uint8_t firmware = 0x05) {
    PutFat(Model().settings.data() + 32, count, firmware, areas);
  }
  // The chosen file: `image` with the given FAT, under the device's version word.
  void FileFat(uint8_t count, const std::vector<Area>& areas, uint8_t firmware = 0x05) {
    PutFat(image.data(), count, firmware, areas);
    ChooseFile("saved.prmz", EncodeSettingsFile(version, image));
  }
  // Commands that write to the settings store.
  size_t Writes() {
    return CountOf(device::kBeginArea) + CountOf(device::kWriteChunk) + CountOf(device::kStoreArea);
  }
  // The image bytes of [offset, offset + n).
  std::vector<uint8_t> ImageBytes(size_t offset, size_t n) {
    return {image.begin() + offset, image.begin() + offset + n};
  }

  std::vector<uint8_t> image;
  uint16_t version = 0x0405;
};

TEST_F(Restore, NoAtTheReplugQuestionDoesNothing) {
  ui.answer = qv::Messages::kNo;
  EXPECT_EQ(RestoreSettings(*ctx).outcome, JobOutcome::kCancelled);
  EXPECT_EQ(ui.events, Events{std::string("ask:") + texts::kReplugPrompt});
  EXPECT_EQ(find_calls, 0);
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(dev.Line().opens, 0);
}

TEST_F(Restore, RoundTripOfABackupIntoTheSameDevice) {
  const auto original = Model().settings;
  ASSERT_EQ(BackupSettings(*ctx).outcome, JobOutcome::kDone);
  for (auto [start, length] : sim::DeviceModel::DefaultAreas()) {
    std::fill_n(Model().settings.begin() + start, length, 0);
  }
  const auto damaged = Model().settings;
  Model().ClearLog();
  ui.events.clear();
  ui.file = folder / "2026_02_03_09_05.prmz";

  EXPECT_EQ(RestoreSettings(*ctx).outcome, JobOutcome::kDone);
  EXPECT_EQ(ui.Shown(), (Events{std::string("ask:") + texts::kReplugPrompt,
                                std::string("info:") + texts::kSettingsWritten}));
  std::vector<sim::StoreRecord> expected_stores;
  for (auto [start, length] : sim::DeviceModel::DefaultAreas()) {
    expected_stores.push_back({start, static_cast<uint16_t>(length - 4)});
    for (size_t a = start; a < start + length - 4u; ++a) {
      ASSERT_EQ(Model().settings[a], original[a]) << a;
    }
    for (size_t a = start + length - 4u; a < start + length; ++a) {
      ASSERT_EQ(Model().settings[a], 0) << "the last 4 bytes are never sent: " << a;
    }
  }
  ASSERT_EQ(Model().store_log.size(), expected_stores.size());
  for (size_t i = 0; i < expected_stores.size(); ++i) {
    EXPECT_EQ(Model().store_log[i].start, expected_stores[i].start);
    EXPECT_EQ(Model().store_log[i].length, expected_stores[i].length);
  }
  EXPECT_EQ(fields.SettingsVersion, 0x0405);
  EXPECT_EQ(fields.DeviceVersion, 0x0405);
  EXPECT_EQ(fields.FileFirmwareVersion, 0x05);
  EXPECT_EQ(fields.DeviceFirmwareVersion, 0x05);
  // The device's FAT as it was read, before the areas were written.
  EXPECT_TRUE(std::equal(fields.FatRecord.begin(), fields.FatRecord.end(), damaged.begin() + 32));
  EXPECT_FALSE(PortOpen());
}

TEST_F(Restore, AreasOneToTheSmallerCountInOrder) {
  struct Case {
    uint8_t file_count;
    uint8_t device_count;
    size_t written;
  };
  const std::vector<Area> file_areas = {{200, 40}, {300, 40}, {400, 40}, {500, 40}, {600, 40}};
  const std::vector<Area> device_areas = {
      {1000, 40}, {1100, 40}, {1200, 40}, {1300, 40}, {1400, 40}};
  for (Case c : {Case{5, 3, 3}, Case{3, 5, 3}, Case{0, 4, 0}, Case{4, 0, 0}}) {
    ui.events.clear();
    Model().store_log.clear();
    FileFat(c.file_count, file_areas);
    DeviceFat(c.device_count, device_areas);
    EXPECT_EQ(RestoreSettings(*ctx).outcome, JobOutcome::kDone);
    EXPECT_EQ(ui.Shown().back(), std::string("info:") + texts::kSettingsWritten);
    ASSERT_EQ(Model().store_log.size(), c.written);
    for (size_t i = 0; i < c.written; ++i) {
      // Area i's bytes come from the file's start of area i and go to the device's.
      EXPECT_EQ(Model().store_log[i].start, device_areas[i].start);
      EXPECT_TRUE(std::equal(Model().settings.begin() + device_areas[i].start,
                             Model().settings.begin() + device_areas[i].start + 36,
                             image.begin() + file_areas[i].start - 32))
          << "area " << i + 1;
    }
  }
}

struct LengthCase {
  const char* name;
  uint16_t file_length;
  uint16_t device_length;
  std::vector<uint16_t> chunk_counts;
};
void PrintTo(const LengthCase& c, std::ostream* os) {
  *os << c.name;
}

class RestoreLengths : public Restore, public ::testing::WithParamInterface<LengthCase> {};

// The file's area lies at another start than the device's: the bytes are read at the file's
// start and written at the device's, the smaller length less 4 decides how many.
TEST_P(RestoreLengths, OneAreaRequestByRequest) {
  const LengthCase& c = GetParam();
  const uint16_t fs = 200, ds = 1500;
  FileFat(1, {{fs, c.file_length}});
  DeviceFat(1, {{ds, c.device_length}});
  Model().ClearLog();
  EXPECT_EQ(RestoreSettings(*ctx).outcome, JobOutcome::kDone);

  const uint16_t m = c.device_length - 4;
  const std::vector<uint8_t> span = {static_cast<uint8_t>(ds), static_cast<uint8_t>(ds >> 8),
                                     static_cast<uint8_t>(m), static_cast<uint8_t>(m >> 8)};
  std::vector<uint8_t> commands = Commands();
  std::vector<uint8_t> writes(commands.begin() + 4, commands.end());  // after Identify, 3 reads
  std::vector<uint8_t> expected = {device::kBeginArea};
  expected.insert(expected.end(), c.chunk_counts.size(), device::kWriteChunk);
  expected.push_back(device::kStoreArea);
  EXPECT_EQ(writes, expected);
  EXPECT_EQ(Model().Requests(device::kBeginArea).at(0).payload, span);
  EXPECT_EQ(Model().Requests(device::kStoreArea).at(0).payload, span);

  auto chunks = Model().Requests(device::kWriteChunk);
  size_t at = fs - 32;
  for (size_t k = 0; k < chunks.size(); ++k) {
    const auto& p = chunks[k].payload;
    EXPECT_EQ(sim::Word(p, 0), k);
    EXPECT_EQ(sim::Word(p, 2), c.chunk_counts[k]);
    EXPECT_EQ(std::vector<uint8_t>(p.begin() + 4, p.end()), ImageBytes(at, c.chunk_counts[k]));
    at += c.chunk_counts[k];
  }
  for (size_t i = 0; i < at - (fs - 32); ++i) {
    ASSERT_EQ(Model().settings[ds + i], image[fs - 32 + i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, RestoreLengths,
                         ::testing::Values(LengthCase{"File40Device52", 40, 52, {32, 4}},
                                           LengthCase{"TwoWholeChunks", 68, 68, {32, 32}},
                                           LengthCase{"NothingToSend", 4, 4, {}},
                                           LengthCase{"DeviceShorter", 100, 37, {32, 1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Restore, GaugeFollowsTheFatBlocksThenTheAreas) {
  std::vector<Area> areas;
  for (uint16_t i = 0; i < 8; ++i)
    areas.push_back({static_cast<uint16_t>(200 + 64 * i), 40});
  FileFat(8, areas);
  DeviceFat(8, areas);
  RestoreSettings(*ctx);
  EXPECT_EQ(ui.Gauges(), (std::vector<int>{0, 33, 67, 100, 0, 12, 25, 38, 50, 62, 75, 88, 100}));
  Events labels;
  for (const auto& e : ui.events) {
    if (e.rfind("label:", 0) == 0) labels.push_back(e);
  }
  EXPECT_EQ(labels, (Events{std::string("label:") + texts::kConnecting,
                            std::string("label:") + texts::kReadingFat,
                            std::string("label:") + texts::kWritingSettings}));
}

TEST_F(Restore, VersionChecksComeBeforeAnyWrite) {
  struct Case {
    uint16_t file_version;
    uint8_t file_firmware;
    const char* text;
    std::vector<uint8_t> commands;
  };
  const Case cases[] = {
      {0x0406, 0x05, texts::kDeviceVersionMismatch, {1}},
      {0x0405, 0x06, texts::kFirmwareVersionMismatch, {1, 5, 5, 5}},
  };
  for (const Case& c : cases) {
    ui.events.clear();
    Model().ClearLog();
    version = c.file_version;
    FileFat(4, {{64, 40}}, c.file_firmware);
    EXPECT_EQ(RestoreSettings(*ctx).outcome, JobOutcome::kFailed);
    EXPECT_EQ(ui.Shown(),
              (Events{std::string("ask:") + texts::kReplugPrompt, std::string("error:") + c.text}));
    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(ui.events.back(), "destroy(port open)");
  }
}

struct RefusalCase {
  const char* name;
  std::function<void(Restore&)> prepare;
  std::string text;
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.name;
}

class RestoreRefusal : public Restore, public ::testing::WithParamInterface<RefusalCase> {
 public:
  void Prepare() { GetParam().prepare(*this); }
  using Restore::DeviceFat;
  using Restore::FileFat;
  using Restore::image;
  using Restore::version;
  using test::JobTest::ChooseFile;
};

std::string AreaOutside(int i) {
  return texts::kAreaOutsideFile + std::to_string(i) + texts::kAreaOutsideEnd;
}
std::string AreaShort(int i) {
  return texts::kAreaTooShort + std::to_string(i) + texts::kAreaTooShortEnd;
}

TEST_P(RestoreRefusal, NothingIsWritten) {
  DeviceFat(3, {{1000, 40}, {1100, 40}, {1200, 40}});
  Prepare();
  EXPECT_EQ(RestoreSettings(*ctx).outcome, JobOutcome::kRefused);
  EXPECT_EQ(ui.Shown().back(), "error:" + GetParam().text);
  EXPECT_EQ(Writes(), 0u);
  EXPECT_EQ(ui.events.back(), "destroy(port open)");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RestoreRefusal,
    ::testing::Values(
        RefusalCase{"FileShorterThanFat",
                    [](Restore& t) {
                      static_cast<RestoreRefusal&>(t).ChooseFile("short.prmz",
                                                                 std::vector<uint8_t>(61, 0));
                    },
                    texts::kSettingsFileDamaged},
        RefusalCase{"FileStartBelow32",
                    [](Restore& t) {
                      static_cast<RestoreRefusal&>(t).FileFat(3, {{64, 40}, {16, 40}, {200, 40}});
                    },
                    AreaOutside(2)},
        RefusalCase{"FileAreaPastTheImage",
                    [](Restore& t) {
                      static_cast<RestoreRefusal&>(t).FileFat(3, {{64, 40}, {100, 40}, {4064, 40}});
                    },
                    AreaOutside(3)},
        RefusalCase{"FileEntryPastAShortImage",
                    [](Restore& t) {
                      auto& r = static_cast<RestoreRefusal&>(t);
                      std::vector<Area> areas(14, Area{32, 4});
                      r.image.resize(60);
                      r.DeviceFat(15, std::vector<Area>(15, Area{1000, 4}));
                      r.FileFat(15, areas);
                    },
                    AreaOutside(15)},
        RefusalCase{"DeviceCountAbove23",
                    [](Restore& t) {
                      auto& r = static_cast<RestoreRefusal&>(t);
                      r.DeviceFat(24, {{1000, 40}});
                      r.FileFat(1, {{64, 40}});
                    },
                    texts::kDeviceFatTooLong},
        RefusalCase{"FileLengthBelow4",
                    [](Restore& t) {
                      static_cast<RestoreRefusal&>(t).FileFat(3, {{64, 40}, {100, 40}, {200, 3}});
                    },
                    AreaShort(3)},
        RefusalCase{"DeviceLengthBelow4",
                    [](Restore& t) {
                      auto& r = static_cast<RestoreRefusal&>(t);
                      r.DeviceFat(2, {{1000, 40}, {1100, 0}});
                      r.FileFat(2, {{64, 40}, {100, 40}});
                    },
                    AreaShort(2)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Restore, FailedAreaWriteLeavesAsExceptionAfterTheEarlierAreas) {
  FileFat(3, {{200, 40}, {300, 40}, {400, 40}});
  DeviceFat(3, {{1000, 40}, {1100, 40}, {1200, 40}});
  // Area 2's StoreArea: Identify, 3 reads, area 1 (4 requests), area 2's BeginArea and 2 chunks.
  dev.device.Plan().Add(test::Silent(device::kStoreArea, 1 + 3 + 4 + 3 + 1));
  try {
    RestoreSettings(*ctx);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), texts::kNoLink);
  }
  ASSERT_EQ(Model().store_log.size(), 1u);
  EXPECT_EQ(Model().store_log[0].start, 1000);
  EXPECT_EQ(CountOf(device::kBeginArea), 2u);
  EXPECT_EQ(ui.Shown(), Events{std::string("ask:") + texts::kReplugPrompt});
  EXPECT_EQ(ui.events.back(), "destroy(port open)");
  EXPECT_FALSE(PortOpen());
  EXPECT_FALSE(guard.Busy());
}

TEST_F(Restore, FailedFatReadOrUnreadableFileLeavesAsException) {
  FileFat(1, {{200, 40}});
  dev.device.Plan().Add(test::Silent(device::kReadBlock));
  EXPECT_THROW(RestoreSettings(*ctx), Exception);
  EXPECT_EQ(Writes(), 0u);

  dev.device.SetPlan({});
  ui.file = folder / "gone.prmz";
  try {
    RestoreSettings(*ctx);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("gone.prmz"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Writes(), 0u);
  EXPECT_FALSE(PortOpen());
}

TEST_F(Restore, NoFileChosenEndsSilentlyAfterTheConnection) {
  ui.file.reset();
  EXPECT_EQ(RestoreSettings(*ctx).outcome, JobOutcome::kCancelled);
  EXPECT_EQ(ui.Shown(), Events{std::string("ask:") + texts::kReplugPrompt});
  EXPECT_EQ(Commands(), std::vector<uint8_t>{device::kIdentify});
  EXPECT_EQ(ui.events.back(), "destroy(port open)");
  EXPECT_FALSE(PortOpen());
}

}  // namespace
}  // namespace qv
