#include "fault_fixture.h"

#include <fstream>
#include <iterator>
#include <set>

#include "common/exception.h"
#include "jobs/firmware_upload.h"
#include "jobs/job_texts.h"
#include "jobs/settings_backup.h"
#include "jobs/settings_file.h"
#include "jobs/settings_restore.h"
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
      if (a < size_t{area.start} + area.length - 4)
        restored[a] = saved[a];
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
    if (c == '/' || c == ' ')
      c = '_';
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
  if (!in)
    return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qv::fault
