#include "jobs/firmware_upload.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "common/exception.h"
#include "common/rounding.h"
#include "jobs/connection.h"
#include "jobs/file_io.h"
#include "jobs/firmware_image.h"
#include "jobs/input_refused.h"
#include "jobs/job_session.h"
#include "jobs/job_texts.h"
#include "jobs/job_ui.h"
#include "link/KV_RS232.h"
#include "platform/clock.h"

namespace qv {
namespace {

constexpr int kProgramAttempts = 3;
constexpr int64_t kProgramRetryPauseMs = 50;
constexpr size_t kChunksPerPage = FirmwareImage::kPageBytes / device::kChunkBytes;
// The head of settings block 0 that the closing sequence rewrites, and the reset marker that
// goes into its bytes 16 to 19.
constexpr uint16_t kSettingsHeadBytes = 20;
constexpr size_t kResetMarkerAt = 16;
constexpr std::array<uint8_t, 4> kResetMarker = {0x00, 0x55, 0xFF, 0xAA};

// Sends the page's 32 chunks once; a failure is raised to the caller.
void SendPageChunks(TKV_RS& link, const uint8_t* page) {
  for (size_t c = 0; c < kChunksPerPage; ++c) {
    device::PageChunk(link, static_cast<uint8_t>(c), page + c * device::kChunkBytes);
  }
}

// Programs the assembled page, up to three attempts; returns the last failure's text, or nothing
// when the page was programmed. The chunks are not sent again between attempts.
std::optional<std::string> ProgramWithRetries(TKV_RS& link, platform::Clock& clock,
                                              uint32_t address) {
  std::string failure;
  for (int attempt = 1; attempt <= kProgramAttempts; ++attempt) {
    try {
      const char* text = PageStatusFailure(device::ProgramPage(link, address));
      if (!text) return std::nullopt;
      failure = text;
    } catch (const Exception& e) {
      failure = e.what();
    }
    if (attempt < kProgramAttempts) clock.SleepMs(kProgramRetryPauseMs);
  }
  return failure;
}

// Rewrites the head of settings block 0 with the reset marker and tells the boot loader that the
// upload is complete. A failure of FinishUpload does not count.
void RunClosingSequence(TKV_RS& link) {
  std::array<uint8_t, kSettingsHeadBytes> head{};
  device::ReadBlock(link, 0, head.data(), head.size(), device::timeout::kUploadClosing);
  std::copy(kResetMarker.begin(), kResetMarker.end(), head.begin() + kResetMarkerAt);
  device::WriteChunk(link, 0, head.data(), kSettingsHeadBytes, device::timeout::kUploadClosing);
  device::StoreArea(link, 0, kSettingsHeadBytes, device::timeout::kUploadClosing);
  try {
    device::FinishUpload(link);
  } catch (const Exception&) {
    // The device may already be restarting; the upload itself is complete.
  }
}

// Sends every page and the closing sequence; returns the outcome after any message was shown.
JobOutcome SendImage(JobContext& ctx, ProgressDialog& progress, const FirmwareImage& image) {
  size_t pages = image.PageCount();
  for (size_t p = 0; p < pages; ++p) {
    // A Cancel click that came before the button was hidden stops the upload here.
    if (progress.Cancelled()) return JobOutcome::kCancelled;
    try {
      SendPageChunks(ctx.link, image.Page(p));
    } catch (const Exception& e) {
      ctx.ui.ShowError(e.what());
      return JobOutcome::kFailed;
    }
    if (auto failure = ProgramWithRetries(ctx.link, ctx.clock, image.PageAddress(p))) {
      ctx.ui.ShowError(*failure);
      return JobOutcome::kFailed;
    }
    progress.SetGauge(PercentHalfEven(static_cast<int64_t>(p + 1), static_cast<int64_t>(pages)));
  }
  try {
    RunClosingSequence(ctx.link);
  } catch (const Exception& e) {
    ctx.ui.ShowError(e.what());
    return JobOutcome::kFailed;
  }
  ctx.ui.ShowInfo(texts::kUploadDone);
  return JobOutcome::kDone;
}

}  // namespace

const char* PageStatusFailure(const device::PageStatus& status) {
  if (status.flags & 0x01) return texts::kLowSupply;
  if (status.flags & 0x02) return texts::kEraseFailed;
  switch (status.code) {
    case 1:
      return texts::kAddressError1;
    case 2:
      return texts::kAddressError2;
    case 3:
      return texts::kWriteFailed1;
    case 4:
      return texts::kWriteFailed2;
    default:
      return nullptr;
  }
}

JobResult UploadFirmware(JobContext& ctx) {
  JobResult result;
  auto hold = ctx.guard.TryStart();
  if (!hold) return {JobOutcome::kBusy, {}};
  if (!ctx.FindDevicePort()) return {JobOutcome::kNotFound, {}};
  auto path = ctx.ui.ChooseFirmwareFile();
  if (!path) return {JobOutcome::kCancelled, {}};

  JobSession session(ctx.link);
  FirmwareImage image;  // declared after the session: released before the dialog goes
  ProgressDialog& progress = session.ShowProgress(ctx.ui);
  auto device = WaitForDevice(ctx.link, ctx.ui, progress, ctx.clock, &result.connect_failure);
  if (!device) return {JobOutcome::kCancelled, result.connect_failure};

  progress.SetLabel("");
  ctx.ui.ProcessMessages();
  try {
    image = ParseFirmwareImage(ReadWholeFile(*path));
  } catch (const InputRefused& e) {
    ctx.ui.ShowError(e.what());
    return {JobOutcome::kRefused, result.connect_failure};
  }

  progress.SetLabel(texts::kIdentifying);
  if (device->type != image.McuType || device->version != image.ImageVersion) {
    ctx.ui.ShowError(texts::kTypeMismatch);
    return {JobOutcome::kFailed, result.connect_failure};
  }

  StartStage(progress, ctx.ui, texts::kUploading, /*process_messages=*/false);
  progress.ShowCancel(false);
  result.outcome = SendImage(ctx, progress, image);
  return result;
}

}  // namespace qv
