#include "jobs/settings_backup.h"

#include <array>
#include <string>
#include <vector>

#include "common/rounding.h"
#include "jobs/connection.h"
#include "jobs/file_io.h"
#include "jobs/job_session.h"
#include "jobs/job_texts.h"
#include "jobs/job_ui.h"
#include "jobs/settings_file.h"
#include "link/KV_RS232.h"

namespace qv {
namespace {

constexpr int kBlocks = kLastSettingsBlock - kFirstSettingsBlock + 1;

// Blocks 1 to 127, in ascending order, into the image; the gauge follows the blocks.
void ReadSettingsImage(TKV_RS& link, ProgressDialog& progress, std::vector<uint8_t>& image) {
  std::array<uint8_t, device::kBlockBytes> block{};
  for (uint16_t b = kFirstSettingsBlock; b <= kLastSettingsBlock; ++b) {
    device::ReadBlock(link, b, block.data(), block.size(), device::timeout::kReadBlock);
    image.insert(image.end(), block.begin(), block.end());
    progress.SetGauge(PercentHalfEven(b, kBlocks));
  }
}

}  // namespace

JobResult BackupSettings(JobContext& ctx, const std::optional<std::filesystem::path>& output) {
  JobResult result;
  auto hold = ctx.guard.TryStart();
  if (!hold) return {JobOutcome::kBusy, {}};
  if (!ctx.FindDevicePort()) return {JobOutcome::kNotFound, {}};

  JobSession session(ctx.link);
  std::vector<uint8_t> image;  // declared after the session: released before the dialog goes
  std::vector<uint8_t> file;
  ProgressDialog& progress = session.ShowProgress(ctx.ui);
  ctx.ui.ProcessMessages();
  auto device = WaitForDevice(ctx.link, ctx.ui, progress, ctx.clock, &result.connect_failure);
  if (!device) return {JobOutcome::kCancelled, result.connect_failure};
  ctx.fields.SettingsVersion = device->version;

  StartStage(progress, ctx.ui, texts::kReadingSettings, /*process_messages=*/true);
  progress.ShowCancel(false);
  image.reserve(kSettingsImageBytes);
  ReadSettingsImage(ctx.link, progress, image);

  // The name is taken now, after the last block, as the file's time stamp.
  std::string name = SettingsFileName(ctx.local_time());
  std::filesystem::path target = output ? *output : std::filesystem::path(name);
  file = EncodeSettingsFile(ctx.fields.SettingsVersion, image);
  WriteFileReplacing(target, file);
  ctx.ui.ShowInfo(texts::kSavedToFile + (output ? PathText(*output) : name));
  return result;
}

}  // namespace qv
