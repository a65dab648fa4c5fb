#include "jobs/settings_restore.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <vector>

#include "common/rounding.h"
#include "jobs/connection.h"
#include "jobs/file_io.h"
#include "jobs/input_refused.h"
#include "jobs/job_session.h"
#include "jobs/job_texts.h"
#include "jobs/job_ui.h"
#include "jobs/restore_plan.h"
#include "jobs/settings_file.h"
#include "link/KV_RS232.h"

namespace qv {
namespace {

constexpr uint16_t kDeviceTableBlocks = kDeviceTableBytes / device::kBlockBytes;

// Settings blocks 1 to 3, the device's FAT, into the table; the gauge follows the blocks.
void ReadDeviceTable(TKV_RS& link, ProgressDialog& progress, std::vector<uint8_t>& table) {
  std::array<uint8_t, device::kBlockBytes> block{};
  for (uint16_t b = 1; b <= kDeviceTableBlocks; ++b) {
    device::ReadBlock(link, b, block.data(), block.size(), device::timeout::kReadBlock);
    table.insert(table.end(), block.begin(), block.end());
    progress.SetGauge(PercentHalfEven(b, kDeviceTableBlocks));
  }
}

// One area: BeginArea, its bytes in chunks of 32 (the last one may be short), StoreArea.
void WriteArea(TKV_RS& link, const AreaWrite& area, const uint8_t* bytes) {
  constexpr uint16_t kTimeout = device::timeout::kRestoreArea;
  constexpr uint16_t kChunk = device::kChunkBytes;
  device::BeginArea(link, area.device_start, area.stored_length, kTimeout);
  uint16_t whole = area.bytes / kChunk;
  for (uint16_t k = 0; k < whole; ++k) {
    device::WriteChunk(link, k, bytes + k * kChunk, kChunk, kTimeout);
  }
  if (uint16_t rest = area.bytes % kChunk) {
    device::WriteChunk(link, whole, bytes + whole * kChunk, rest, kTimeout);
  }
  device::StoreArea(link, area.device_start, area.stored_length, kTimeout);
}

void CopyFatRecord(const std::vector<uint8_t>& table, WindowFields& fields) {
  std::copy_n(table.begin(), kFatRecordBytes, fields.FatRecord.begin());
}

// How a step that may end the job ended it; nothing when the job goes on.
using StepEnd = std::optional<JobOutcome>;

// Reads the chosen file and checks its version word against the device's. An unreadable file
// leaves as Exception; a damaged one or another version is shown.
StepEnd LoadSettingsFile(JobContext& ctx, const std::filesystem::path& path, SettingsFile& file) {
  try {
    file = DecodeSettingsFile(ReadWholeFile(path));
  } catch (const InputRefused& e) {
    ctx.ui.ShowError(e.what());
    return JobOutcome::kRefused;
  }
  ctx.fields.SettingsVersion = file.version;
  if (ctx.fields.SettingsVersion != ctx.fields.DeviceVersion) {
    ctx.ui.ShowError(texts::kDeviceVersionMismatch);
    return JobOutcome::kFailed;
  }
  CopyFatRecord(file.image, ctx.fields);
  ctx.fields.FileFirmwareVersion = ctx.fields.FatRecord[1];
  return std::nullopt;
}

// Reads the device's FAT and checks its firmware version byte against the file's. From here on
// the job cannot be cancelled.
StepEnd LoadDeviceTable(JobContext& ctx, ProgressDialog& progress,
                        std::vector<uint8_t>& device_table) {
  StartStage(progress, ctx.ui, texts::kReadingFat, /*process_messages=*/true);
  progress.ShowCancel(false);
  device_table.reserve(kDeviceTableBytes);
  ReadDeviceTable(ctx.link, progress, device_table);
  CopyFatRecord(device_table, ctx.fields);
  ctx.fields.DeviceFirmwareVersion = ctx.fields.FatRecord[1];
  if (ctx.fields.DeviceFirmwareVersion != ctx.fields.FileFirmwareVersion) {
    ctx.ui.ShowError(texts::kFirmwareVersionMismatch);
    return JobOutcome::kFailed;
  }
  return std::nullopt;
}

// Checks every area pair before the first one is written.
StepEnd PlanAreas(JobContext& ctx, const SettingsFile& file,
                  const std::vector<uint8_t>& device_table, std::vector<AreaWrite>& plan) {
  try {
    plan = PlanRestoreAreas(file.image, device_table);
  } catch (const InputRefused& e) {
    ctx.ui.ShowError(e.what());
    return JobOutcome::kRefused;
  }
  return std::nullopt;
}

void WriteAreas(JobContext& ctx, ProgressDialog& progress, const std::vector<AreaWrite>& plan,
                const std::vector<uint8_t>& image) {
  StartStage(progress, ctx.ui, texts::kWritingSettings, /*process_messages=*/true);
  for (size_t i = 0; i < plan.size(); ++i) {
    WriteArea(ctx.link, plan[i], image.data() + plan[i].image_offset);
    progress.SetGauge(
        PercentHalfEven(static_cast<int64_t>(i + 1), static_cast<int64_t>(plan.size())));
  }
}

}  // namespace

JobResult RestoreSettings(JobContext& ctx) {
  JobResult result;
  auto hold = ctx.guard.TryStart();
  if (!hold) return {JobOutcome::kBusy, {}};
  if (ctx.ui.AskYesNo(texts::kReplugPrompt) != Messages::kYes) return {JobOutcome::kCancelled, {}};
  if (!ctx.FindDevicePort()) return {JobOutcome::kNotFound, {}};

  JobSession session(ctx.link);
  // The working buffers, declared after the session: released before the dialog goes.
  SettingsFile file;
  std::vector<uint8_t> device_table;
  std::vector<AreaWrite> plan;
  ProgressDialog& progress = session.ShowProgress(ctx.ui);
  auto device = WaitForDevice(ctx.link, ctx.ui, progress, ctx.clock, &result.connect_failure);
  if (!device) return {JobOutcome::kCancelled, result.connect_failure};
  ctx.fields.DeviceVersion = device->version;

  auto path = ctx.ui.ChooseSettingsFile();
  if (!path) return {JobOutcome::kCancelled, result.connect_failure};
  StepEnd end = LoadSettingsFile(ctx, *path, file);
  if (!end) end = LoadDeviceTable(ctx, progress, device_table);
  if (!end) end = PlanAreas(ctx, file, device_table, plan);
  if (end) return {*end, result.connect_failure};

  WriteAreas(ctx, progress, plan, file.image);
  ctx.ui.ShowInfo(texts::kSettingsWritten);
  return result;
}

}  // namespace qv
