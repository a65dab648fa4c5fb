#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/exception.h"
#include "job_fixture.h"
#include "jobs/firmware_upload.h"
#include "jobs/job_texts.h"
#include "link/device_commands.h"
#include "link/link_texts.h"

namespace qv {
namespace {

using test::Events;

// A .rom of `size` bytes: a pattern that differs from page to page, ending in the trailer.
std::vector<uint8_t> MakeRom(size_t size, uint8_t type, uint16_t version, uint32_t load) {
  std::vector<uint8_t> rom(size);
  for (size_t i = 0; i < size; ++i)
    rom[i] = static_cast<uint8_t>(i * 13 + (i >> 10) * 101 + 1);
  if (size >= 7) {
    uint8_t* t = rom.data() + size - 7;
    t[0] = type;
    t[1] = static_cast<uint8_t>(version);
    t[2] = static_cast<uint8_t>(version >> 8);
    for (int k = 0; k < 4; ++k)
      t[3 + k] = static_cast<uint8_t>(load >> (8 * k));
  }
  return rom;
}

constexpr uint32_t kLoad = 0x00004000;

class Upload : public test::JobTest {
 protected:
  JobResult Run(size_t size, uint8_t type = 0x21, uint16_t version = 0x0405,
                uint32_t load = kLoad) {
    rom = MakeRom(size, type, version, load);
    ChooseFile("image.rom", rom);
    return UploadFirmware(*ctx);
  }
  std::vector<uint8_t> rom;
};

struct PagesCase {
  const char* name;
  size_t size;
  uint32_t load;
  std::vector<int> gauges;
};
void PrintTo(const PagesCase& c, std::ostream* os) {
  *os << c.name;
}

class UploadPages : public Upload, public ::testing::WithParamInterface<PagesCase> {};

TEST_P(UploadPages, WholePagesAtTheirAddressesThenTheClosingSequence) {
  const PagesCase& c = GetParam();
  JobResult result = Run(c.size, 0x21, 0x0405, c.load);
  EXPECT_EQ(result.outcome, JobOutcome::kDone);
  EXPECT_EQ(ui.Shown(), Events{std::string("info:") + texts::kUploadDone});
  std::vector<int> gauges = {0};  // the upload stage starts the gauge at 0
  gauges.insert(gauges.end(), c.gauges.begin(), c.gauges.end());
  EXPECT_EQ(ui.Gauges(), gauges);

  size_t pages = c.size / 1024;
  std::vector<uint32_t> addresses;
  std::vector<uint8_t> expected_commands = {device::kIdentify};
  std::vector<uint8_t> expected_indexes;
  for (size_t p = 0; p < pages; ++p) {
    addresses.push_back(c.load + static_cast<uint32_t>(p * 1024));
    for (uint8_t i = 0; i < 32; ++i) {
      expected_commands.push_back(device::kPageChunk);
      expected_indexes.push_back(i);
    }
    expected_commands.push_back(device::kProgramPage);
  }
  for (uint8_t cmd :
       {device::kReadBlock, device::kWriteChunk, device::kStoreArea, device::kFinishUpload}) {
    expected_commands.push_back(cmd);
  }
  EXPECT_EQ(Commands(), expected_commands);
  EXPECT_EQ(Model().program_log, addresses);
  std::vector<uint8_t> indexes;
  for (const auto& r : Model().Requests(device::kPageChunk))
    indexes.push_back(r.payload[0]);
  EXPECT_EQ(indexes, expected_indexes);
  // Each page holds the file's bytes from p × 1024: the trailer only where it lies inside a
  // whole page, and nothing after the last whole page.
  for (size_t p = 0; p < pages; ++p) {
    const auto& page = Model().program_memory.at(addresses[p]);
    ASSERT_TRUE(std::equal(page.begin(), page.end(), rom.begin() + p * 1024)) << "page " << p;
  }
  EXPECT_TRUE(Model().upload_finished);
  EXPECT_FALSE(PortOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, UploadPages,
    ::testing::Values(
        PagesCase{"ThreePagesAndTrailer", 3 * 1024 + 7, kLoad, {33, 67, 100}},
        PagesCase{"EightPagesTiesToEven", 8 * 1024 + 7, kLoad, {12, 25, 38, 50, 62, 75, 88, 100}},
        PagesCase{"Exactly2048TrailerInSecondPage", 2048, kLoad, {50, 100}},
        PagesCase{"SevenBytesNoPage", 7, kLoad, {}}, PagesCase{"Under1024NoPage", 1023, kLoad, {}},
        PagesCase{"TailOf507NotSent", 2 * 1024 + 507, kLoad, {50, 100}},
        PagesCase{"AddressWrapsAt32Bits", 2 * 1024, 0xFFFFFC00u, {50, 100}}),
    [](const auto& info) { return std::string(info.param.name); });

struct StatusCase {
  uint8_t flags;
  uint8_t code;
  const char* failure;  // null: the page counts as programmed
};
void PrintTo(const StatusCase& c, std::ostream* os) {
  *os << "flags " << int(c.flags) << " code " << int(c.code);
}

class UploadStatus : public Upload, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(UploadStatus, ThreeAttemptsThenTheStatusText) {
  const StatusCase& c = GetParam();
  for (int i = 0; i < 3; ++i)
    Model().program_statuses.push_back({c.flags, c.code});
  JobResult result = Run(1024 + 7);
  if (c.failure) {
    EXPECT_EQ(result.outcome, JobOutcome::kFailed);
    EXPECT_EQ(ui.Shown(), Events{std::string("error:") + c.failure});
    EXPECT_EQ(CountOf(device::kProgramPage), 3u);
    EXPECT_EQ(CountOf(device::kPageChunk), 32u);
    EXPECT_EQ(CountOf(device::kReadBlock), 0u);
    EXPECT_EQ(dev.clock.SleptMs(), 2 * 50);  // a 50 ms pause after each failed attempt but the last
  } else {
    EXPECT_EQ(result.outcome, JobOutcome::kDone);
    EXPECT_EQ(ui.Shown(), Events{std::string("info:") + texts::kUploadDone});
    EXPECT_EQ(CountOf(device::kProgramPage), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Statuses, UploadStatus,
                         ::testing::Values(StatusCase{0x01, 0, texts::kLowSupply},
                                           StatusCase{0x03, 0, texts::kLowSupply},
                                           StatusCase{0x02, 0, texts::kEraseFailed},
                                           StatusCase{0x02, 1, texts::kEraseFailed},
                                           StatusCase{0x00, 1, texts::kAddressError1},
                                           StatusCase{0x00, 2, texts::kAddressError2},
                                           StatusCase{0x00, 3, texts::kWriteFailed1},
                                           StatusCase{0x00, 4, texts::kWriteFailed2},
                                           StatusCase{0x04, 7, nullptr},
                                           StatusCase{0x80, 5, nullptr}));

TEST_F(Upload, ProgramPageFailingTwiceThenSucceedingSendsTheChunksOnce) {
  Model().program_statuses = {{0x00, 3}, {0x01, 0}};
  EXPECT_EQ(Run(1024 + 7).outcome, JobOutcome::kDone);
  EXPECT_EQ(ui.Shown(), Events{std::string("info:") + texts::kUploadDone});
  EXPECT_EQ(CountOf(device::kProgramPage), 3u);
  EXPECT_EQ(CountOf(device::kPageChunk), 32u);
  EXPECT_EQ(Model().program_log, std::vector<uint32_t>{kLoad});
}

TEST_F(Upload, ProgramPageLinkFailuresCountAsFailedAttempts) {
  // Two attempts lost (each is three tries of the link), the third answered.
  dev.device.Plan().Add(test::Silent(device::kProgramPage, 1, 6));
  EXPECT_EQ(Run(1024 + 7).outcome, JobOutcome::kDone);
  EXPECT_EQ(CountOf(device::kProgramPage), 7u);
  EXPECT_EQ(CountOf(device::kPageChunk), 32u);

  // All three attempts lost: the link's text.
  ui.events.clear();
  Model().ClearLog();
  dev.device.Plan().Add(test::Silent(device::kProgramPage));
  EXPECT_EQ(UploadFirmware(*ctx).outcome, JobOutcome::kFailed);
  EXPECT_EQ(ui.Shown(), Events{std::string("error:") + texts::kNoLink});
}

TEST_F(Upload, TypeOrVersionMismatchSendsNoPage) {
  struct Case {
    uint8_t type;
    uint16_t version;
  };
  for (Case c : {Case{0x22, 0x0405}, Case{0x21, 0x0406}}) {
    ui.events.clear();
    Model().ClearLog();
    EXPECT_EQ(Run(2 * 1024 + 7, c.type, c.version).outcome, JobOutcome::kFailed);
    EXPECT_EQ(Commands(), std::vector<uint8_t>{device::kIdentify});
    // The message comes while the dialog is up and the port open; then the clean-up.
    ASSERT_GE(ui.events.size(), 2u);
    EXPECT_EQ(ui.events[ui.events.size() - 2], std::string("error:") + texts::kTypeMismatch);
    EXPECT_EQ(ui.events.back(), "destroy(port open)");
    EXPECT_EQ(ui.Shown().size(), 1u);
    EXPECT_FALSE(PortOpen());
  }
}

TEST_F(Upload, StagesOfTheDialogInOrder) {
  Run(1024 + 7);
  Events expected = {"create",
                     "cancel:1",
                     std::string("label:") + texts::kConnecting,
                     "show_gauge:0",
                     "label:",
                     "process",
                     std::string("label:") + texts::kIdentifying,
                     std::string("label:") + texts::kUploading,
                     "gauge:0",
                     "show_gauge:1",
                     "cancel:0",
                     "gauge:100",
                     std::string("info:") + texts::kUploadDone,
                     "destroy(port open)"};
  EXPECT_EQ(ui.events, expected);
}

TEST_F(Upload, CancelClickedAfterTheDeviceAnsweredStopsBeforeTheFirstPage) {
  // The only message processing of a device that answers at once: after its answer, while
  // Cancel is still visible.
  ui.on_process = [&] { ui.progress->ClickCancel(); };
  EXPECT_EQ(Run(2 * 1024 + 7).outcome, JobOutcome::kCancelled);
  EXPECT_TRUE(ui.Shown().empty());
  EXPECT_EQ(Commands(), std::vector<uint8_t>{device::kIdentify});
  EXPECT_FALSE(PortOpen());
}

TEST_F(Upload, ClosingSequenceWritesBlockZeroHeadWithTheResetMarker) {
  std::vector<uint8_t> head(Model().settings.begin(), Model().settings.begin() + 16);
  Run(1024 + 7);
  auto read = Model().Requests(device::kReadBlock);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].payload, (std::vector<uint8_t>{0, 0}));
  std::vector<uint8_t> chunk = {0, 0, 20, 0};
  chunk.insert(chunk.end(), head.begin(), head.end());
  chunk.insert(chunk.end(), {0x00, 0x55, 0xFF, 0xAA});
  auto writes = Model().Requests(device::kWriteChunk);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].payload, chunk);
  auto stores = Model().Requests(device::kStoreArea);
  ASSERT_EQ(stores.size(), 1u);
  EXPECT_EQ(stores[0].payload, (std::vector<uint8_t>{0, 0, 20, 0}));
  EXPECT_EQ(Model().settings[17], 0x55);
}

TEST_F(Upload, ClosingSequenceFailures) {
  struct Case {
    uint8_t failing;
    std::vector<uint8_t> tail;  // commands after the page, each try of the link counted
    bool closing_message;
  };
  const Case cases[] = {
      {device::kReadBlock, {5, 5, 5}, false},
      {device::kWriteChunk, {5, 4, 4, 4}, false},
      {device::kStoreArea, {5, 4, 7, 7, 7}, false},
      {device::kFinishUpload, {5, 4, 7, 6, 6, 6}, true},
  };
  for (const Case& c : cases) {
    ui.events.clear();
    Model().ClearLog();
    dev.device.SetPlan({});
    dev.device.Plan().Add(test::Silent(c.failing));
    Run(1024 + 7);
    std::vector<uint8_t> commands = Commands();
    std::vector<uint8_t> tail(commands.begin() + 1 + 33, commands.end());
    EXPECT_EQ(tail, c.tail) << int(c.failing);
    Events shown = {c.closing_message ? std::string("info:") + texts::kUploadDone
                                      : std::string("error:") + texts::kNoLink};
    EXPECT_EQ(ui.Shown(), shown) << int(c.failing);
  }
}

TEST_F(Upload, FailedChunkEndsTheJobWithNoFurtherRequest) {
  // Chunk 5 of page 2: request 1 is Identify, page 1 takes 33 requests.
  dev.device.Plan().Add(test::Silent(std::nullopt, 1 + 33 + 6));
  EXPECT_EQ(Run(3 * 1024 + 7).outcome, JobOutcome::kFailed);
  EXPECT_EQ(ui.Shown(), Events{std::string("error:") + texts::kNoLink});
  auto chunks = Model().Requests(device::kPageChunk);
  EXPECT_EQ(chunks.size(), 32u + 6 + 2);  // the failing chunk is tried three times by the link
  EXPECT_EQ(chunks.back().payload[0], 5);
  EXPECT_EQ(Commands().back(), device::kPageChunk);
  EXPECT_EQ(Model().program_log, std::vector<uint32_t>{kLoad});
}

TEST_F(Upload, FileShorterThanItsTrailerIsRefusedBeforeAnyPage) {
  for (size_t size : {0u, 6u}) {
    ui.events.clear();
    Model().ClearLog();
    EXPECT_EQ(Run(size).outcome, JobOutcome::kRefused);
    EXPECT_EQ(ui.Shown(), Events{std::string("error:") + texts::kFirmwareFileDamaged});
    EXPECT_EQ(Commands(), std::vector<uint8_t>{device::kIdentify});
  }
}

TEST_F(Upload, UnreadableFileLeavesAsExceptionAfterTheCleanUp) {
  ui.file = folder / "missing.rom";
  try {
    UploadFirmware(*ctx);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()).rfind(texts::kCannotReadFile, 0), 0u) << e.what();
    EXPECT_NE(std::string(e.what()).find("missing.rom"), std::string::npos);
  }
  EXPECT_EQ(ui.progress, nullptr);
  EXPECT_FALSE(PortOpen());
  EXPECT_FALSE(guard.Busy());
  EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(Upload, NoDeviceFoundOrNoFileChosenTouchesNothing) {
  find_result = false;
  EXPECT_EQ(Run(1024 + 7).outcome, JobOutcome::kNotFound);
  find_result = true;
  ui.file.reset();
  EXPECT_EQ(UploadFirmware(*ctx).outcome, JobOutcome::kCancelled);
  EXPECT_TRUE(ui.events.empty());
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(dev.Line().opens, 0);
}

}  // namespace
}  // namespace qv
