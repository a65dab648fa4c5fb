#include "fault_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>

#include "common/exception.h"
#include "jobs/firmware_upload.h"
#include "jobs/job_texts.h"
#include "jobs/settings_backup.h"
#include "jobs/settings_file.h"
#include "jobs/settings_restore.h"
#include "link/KV_RS232.h"
#include "link/link_texts.h"

namespace qv::fault {

const char* JobName(Job job) {
  switch (job) {
    case Job::kUpload:
      return "upload";
    case Job::kBackup:
      return "backup";
    case Job::kRestore:
      return "restore";
  }
  return "?";
}

std::unique_ptr<ProgressDialog> FaultUI::CreateProgress() {
  auto dialog = std::make_unique<CancellingProgress>();
  progress = dialog.get();
  return dialog;
}

void FaultUI::ProcessMessages() {
  if (progress && progress->cancel_visible && ++processed >= cancel_after) {
    progress->cancelled = true;
  }
}

Material::Material() {
  const sim::DeviceModel model;
  // Two pages of a pattern that differs from page to page, the trailer of the simulated device.
  rom.resize(kPages * 1024 + 7);
  for (size_t i = 0; i < kPages * 1024; ++i)
    rom[i] = static_cast<uint8_t>(i * 13 + (i >> 10) * 101 + 1);
  uint8_t* t = rom.data() + kPages * 1024;
  t[0] = model.type;
  t[1] = static_cast<uint8_t>(model.version);
  t[2] = static_cast<uint8_t>(model.version >> 8);
  for (int i = 0; i < 4; ++i)
    t[3 + i] = static_cast<uint8_t>(kLoadAddress >> (8 * i));

  // The device's own settings with every area's bytes changed, the FAT left as it is; a restore
  // stores each area but its last 4 bytes.
  sim::DeviceModel::Settings saved = model.settings;
  restored = model.settings;
  for (const sim::StoreRecord& area : sim::DeviceModel::DefaultAreas()) {
    for (size_t a = area.start; a < size_t{area.start} + area.length; ++a) {
      saved[a] = static_cast<uint8_t>(saved[a] ^ 0xA5);
      if (a < size_t{area.start} + area.length - 4) restored[a] = saved[a];
    }
  }
  std::vector<uint8_t> image(saved.begin() + kImageBaseAddress, saved.end());
  prmz = EncodeSettingsFile(model.version, image);
}

const Material& Files() {
  static const Material material;
  return material;
}

uint32_t Frames::RestoreArea(size_t i) {
  uint32_t frame = 1 + 3 + 1;
  const auto areas = sim::DeviceModel::DefaultAreas();
  for (size_t j = 0; j + 1 < i; ++j) {
    const uint32_t bytes = areas[j].length - 4;
    frame += 2 + (bytes + 31) / 32;
  }
  return frame;
}

TempFolder::TempFolder(const std::string& name) {
  std::string clean = name;
  for (char& c : clean) {
    if (c == '/' || c == ' ') c = '_';
  }
  path_ = std::filesystem::temp_directory_path() / ("qv-fault-" + clean);
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
  old_ = std::filesystem::current_path();
  std::filesystem::current_path(path_);
}

TempFolder::~TempFolder() {
  std::filesystem::current_path(old_);
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

LocalDateTime FixedTime() {
  return LocalDateTime{2026, 2, 3, 9, 5, 30};
}

namespace {

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

JobEnd RunJob(Job job, TKV_RS& link, FaultUI& ui, platform::Clock& clock) {
  WindowFields fields;
  JobGuard guard;
  JobContext ctx{link, ui, clock, [] { return true; }, fields, guard, FixedTime};
  ui.end = JobEnd{};
  ui.processed = 0;
  try {
    switch (job) {
      case Job::kUpload:
        WriteFile("image.rom", Files().rom);
        ui.file = std::filesystem::current_path() / "image.rom";
        ui.end.outcome = UploadFirmware(ctx).outcome;
        break;
      case Job::kBackup:
        ui.end.outcome = BackupSettings(ctx).outcome;
        break;
      case Job::kRestore:
        WriteFile("saved.prmz", Files().prmz);
        ui.file = std::filesystem::current_path() / "saved.prmz";
        ui.end.outcome = RestoreSettings(ctx).outcome;
        break;
    }
  } catch (const Exception& e) {
    ui.end.escaped = true;
    ui.end.top_level = e.what();
  }
  ui.progress = nullptr;
  return ui.end;
}

void CheckNothingLost(Job job, const JobEnd& end, const sim::DeviceModel& model,
                      const std::vector<uint8_t>& older_backup) {
  const sim::DeviceModel::Settings original = sim::DeviceModel::DefaultSettings();
  const bool done = !end.escaped && end.outcome == JobOutcome::kDone;
  switch (job) {
    case Job::kUpload: {
      // Pages go in order; none after a failed one, each as the file has it.
      const auto& log = model.program_log;
      ASSERT_LE(log.size(), Material::kPages);
      for (size_t p = 0; p < log.size(); ++p) {
        EXPECT_EQ(log[p], Material::kLoadAddress + p * 1024);
        const auto& page = model.program_memory.at(log[p]);
        EXPECT_TRUE(std::equal(page.begin(), page.end(), Files().rom.begin() + p * 1024));
      }
      sim::DeviceModel::Settings expected = original;
      if (done) {
        EXPECT_EQ(log.size(), Material::kPages);
      }
      // The reset marker is in the settings head once the device has carried out the closing
      // StoreArea, which only follows the last page; a reply lost after it may still fail the job.
      if (!model.store_log.empty()) {
        EXPECT_EQ(log.size(), Material::kPages) << "the settings head stored before the pages";
        const uint8_t marker[4] = {0x00, 0x55, 0xFF, 0xAA};
        std::copy(marker, marker + 4, expected.begin() + 16);
      }
      EXPECT_TRUE(model.settings == expected) << "settings memory";
      break;
    }
    case Job::kBackup: {
      const std::vector<uint8_t> now = FileBytes(kBackupName);
      if (done) {
        std::vector<uint8_t> image(model.settings.begin() + kImageBaseAddress,
                                   model.settings.end());
        EXPECT_EQ(now, EncodeSettingsFile(model.version, image));
      } else {
        EXPECT_EQ(now, older_backup) << "the older file of that name must survive";
      }
      // Nothing else in the folder: no temporary file left behind.
      size_t files = 0;
      for (const auto& e : std::filesystem::directory_iterator(".")) {
        (void)e;
        ++files;
      }
      EXPECT_EQ(files, 1u);
      EXPECT_TRUE(model.settings == original);
      break;
    }
    case Job::kRestore: {
      // The areas stored are areas 1, 2, ... in order, each exactly as the file has it; the
      // areas after them are untouched, and so is every byte outside the areas.
      const auto areas = sim::DeviceModel::DefaultAreas();
      size_t stored = 0;
      for (const sim::StoreRecord& s : model.store_log) {
        if (stored < areas.size() && s.start == areas[stored].start) {
          ++stored;
        } else {
          EXPECT_TRUE(stored > 0 && s.start == areas[stored - 1].start) << "store out of order";
        }
      }
      if (done) {
        EXPECT_EQ(stored, areas.size());
      }
      sim::DeviceModel::Settings expected = original;
      for (size_t i = 0; i < stored; ++i) {
        const size_t from = areas[i].start, to = from + areas[i].length;
        std::copy(Files().restored.begin() + from, Files().restored.begin() + to,
                  expected.begin() + from);
      }
      EXPECT_TRUE(model.settings == expected) << stored << " areas stored";
      break;
    }
  }
}

void CheckEnd(const Expect& expect, const JobEnd& end) {
  switch (expect.end) {
    case End::kDone:
      EXPECT_FALSE(end.escaped) << end.top_level;
      EXPECT_EQ(end.outcome, JobOutcome::kDone);
      EXPECT_TRUE(end.errors.empty()) << end.errors.front();
      EXPECT_EQ(end.infos.size(), 1u);
      break;
    case End::kShown:
      EXPECT_FALSE(end.escaped) << end.top_level;
      EXPECT_EQ(end.outcome, JobOutcome::kFailed);
      EXPECT_EQ(end.errors, std::vector<std::string>{expect.text});
      EXPECT_TRUE(end.infos.empty());
      break;
    case End::kTopLevel:
      EXPECT_TRUE(end.escaped);
      EXPECT_EQ(end.top_level, expect.text);
      EXPECT_TRUE(end.errors.empty());
      EXPECT_TRUE(end.infos.empty());
      break;
    case End::kCancelled:
      EXPECT_FALSE(end.escaped) << end.top_level;
      EXPECT_EQ(end.outcome, JobOutcome::kCancelled);
      EXPECT_TRUE(end.errors.empty());
      EXPECT_TRUE(end.infos.empty());
      break;
    case End::kNone:
      break;
  }
  for (const auto& e : end.errors)
    EXPECT_TRUE(IsSystemText(e)) << e;
  if (end.escaped) {
    EXPECT_TRUE(IsSystemText(end.top_level)) << end.top_level;
  }
}

bool IsSystemText(const std::string& text) {
  static const std::set<std::string> known = {
      texts::kNoLink,
      texts::kByteTimeout,
      texts::kChecksumError,
      texts::kHeaderError,
      texts::kBusy,
      texts::kShortReply,
      texts::kTypeMismatch,
      texts::kLowSupply,
      texts::kEraseFailed,
      texts::kAddressError1,
      texts::kAddressError2,
      texts::kWriteFailed1,
      texts::kWriteFailed2,
      texts::kDeviceVersionMismatch,
      texts::kFirmwareVersionMismatch,
  };
  return known.count(text) != 0;
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string RowTestName(size_t index, const char* fault) {
  std::string name = "row" + std::to_string(index) + "_";
  for (char c : std::string(fault))
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

}  // namespace qv::fault
