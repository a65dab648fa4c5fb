#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jobs/job_context.h"
#include "jobs/job_ui.h"
#include "link/KV_RS232.h"
#include "platform/fake/fake_serial.h"
#include "sim/device_model.h"

namespace qv::fault {

enum class Job { kUpload, kBackup, kRestore };
const char* JobName(Job job);

// How a job run ended, as the user saw it: the messages the job showed, and the text that reached
// the application's top-level error box when the job let a failure through.
struct JobEnd {
  JobOutcome outcome = JobOutcome::kDone;
  bool escaped = false;   // a failure left the job as Exception
  std::string top_level;  // its text
  std::vector<std::string> errors;
  std::vector<std::string> infos;
};

// A progress dialog that presses Cancel once the job has looked at it after a given number of
// failed connection attempts, so that a device that never answers ends the job as a user would.
class CancellingProgress final : public ProgressDialog {
 public:
  void SetLabel(const std::string&) override {}
  void SetGauge(int) override {}
  void ShowGauge(bool) override {}
  void ShowCancel(bool visible) override { cancel_visible = visible; }
  bool Cancelled() const override { return cancelled; }

  bool cancel_visible = false;
  bool cancelled = false;
};

// The user: answers Yes, chooses the prepared file, and presses Cancel after `cancel_after`
// rounds of pending messages while the Cancel button is visible.
class FaultUI final : public JobUI {
 public:
  void ShowError(const std::string& text) override { end.errors.push_back(text); }
  void ShowInfo(const std::string& text) override { end.infos.push_back(text); }
  int AskYesNo(const std::string&) override { return kYes; }
  std::unique_ptr<ProgressDialog> CreateProgress() override;
  std::optional<std::filesystem::path> ChooseFirmwareFile() override { return file; }
  std::optional<std::filesystem::path> ChooseSettingsFile() override { return file; }
  void ProcessMessages() override;

  std::optional<std::filesystem::path> file;
  int cancel_after = 3;
  int processed = 0;
  CancellingProgress* progress = nullptr;
  JobEnd end;
};

// The files and expectations every fault run shares: a firmware image of two pages that fits the
// simulated device, and a settings file whose areas differ from the device's settings memory, so
// that a stored area can be told from an untouched one.
struct Material {
  static constexpr uint32_t kLoadAddress = 0x00010000;
  static constexpr size_t kPages = 2;

  Material();
  std::vector<uint8_t> rom;
  sim::DeviceModel::Settings restored;  // the settings memory after a complete restore
  std::vector<uint8_t> prmz;
};
const Material& Files();

// Where the jobs' requests fall, counting every frame the device receives: frame 1 is the first
// Identify, and each job's work follows it.
struct Frames {
  // Upload: page p's chunk c, page p's ProgramPage, and the closing ReadBlock.
  static uint32_t UploadChunk(size_t page, size_t chunk) { return 2 + page * 33 + chunk; }
  static uint32_t UploadProgram(size_t page) { return 2 + page * 33 + 32; }
  static uint32_t UploadClosing() { return 2 + Material::kPages * 33; }
  // Backup: ReadBlock of block b (1..127).
  static uint32_t BackupBlock(uint16_t b) { return 1 + b; }
  // Restore: the BeginArea of area i (1-based) of the default FAT, after the three FAT blocks.
  static uint32_t RestoreArea(size_t i);
};

// A fresh temporary folder as the current folder for the duration of a run.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name);
  ~TempFolder();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path old_;
};

// The name a backup made by the fault runs gets (their clock says 2026-02-03 09:05).
inline constexpr const char* kBackupName = "2026_02_03_09_05.prmz";
LocalDateTime FixedTime();

// Runs one job on the link with the UI, catching what the application's top-level error box
// would catch. The file the job chooses is written into the current folder first.
JobEnd RunJob(Job job, TKV_RS& link, FaultUI& ui, platform::Clock& clock);

// How a job is expected to end.
enum class End {
  kDone,       // its success message, everything written
  kShown,      // ShowError with the text, then the clean-up
  kTopLevel,   // the failure leaves the job with the text, for the top-level error box
  kCancelled,  // the device never answered; the user cancelled; no message
  kNone,       // the fault does not apply to this job
};

struct Expect {
  End end = End::kNone;
  const char* text = nullptr;
};

// The engine's wait for each reply byte after the first.
inline constexpr int64_t kByteTimeout = 200;

// Checks the messages and the ending of a run against what the row expects.
void CheckEnd(const Expect& expect, const JobEnd& end);

// Checks what a run left behind: an upload's pages in order and none after a failed one, the
// settings memory touched only by a finished upload; a backup's file complete, or the older
// file of that name unchanged and nothing else in the folder; a restore's areas stored in order,
// each as the file has it, and none after the failing one.
void CheckNothingLost(Job job, const JobEnd& end, const sim::DeviceModel& model,
                      const std::vector<uint8_t>& older_backup);

// Every text the system shows for a failure: the link's and the jobs'.
bool IsSystemText(const std::string& text);

// Reads a whole file; empty when it does not exist.
std::vector<uint8_t> FileBytes(const std::filesystem::path& path);

// A test name for row `index` of a fault table: "row<index>_" and the fault's text with every
// character that is no letter or digit written as "_".
std::string RowTestName(size_t index, const char* fault);

}  // namespace qv::fault
