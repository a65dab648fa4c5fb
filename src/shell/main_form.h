#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jobs/job_context.h"
#include "jobs/job_ui.h"
#include "link/KV_RS232.h"
#include "shell/main_form_view.h"

namespace qv {

class TKV_RS232_SetNumDlg;
namespace platform {
class DeviceRegistry;
}

// Everything the main window's logic works with, passed in by the program entry (or a test).
struct TMainFormDeps {
  TMainFormView& view;
  TKV_RS232_SetNumDlg& port_chooser;
  platform::SerialPlatform& ports;
  platform::DeviceRegistry& registry;
  platform::Clock& clock;
  platform::MessagePump& pump;
  // The full path of the running executable: its folder becomes the current directory and its
  // name gives the ini file and the title of the error box.
  std::filesystem::path executable;
};

// The main window's logic: the start-up and close sequences, the port chooser button, the hidden
// automatic-search box and the three job buttons. It is the jobs' user interface as well: the
// messages, the progress dialog and the file dialogs go to the view.
class TMainForm final : public JobUI {
 public:
  static constexpr const char* kCaption = "Quorvane Holtek  (Версия 04.05.22)";
  static constexpr const char* kFirmwareFilter = "Файлы прошивок (*.rom)|*.rom";
  static constexpr const char* kSettingsFilter = "Файлы настроек (*.prmz)|*.prmz";

  explicit TMainForm(TMainFormDeps deps);
  ~TMainForm() override;

  // Runs one event handler as the application does: an error that escapes it is shown in the
  // top-level error box. Returns false when the handler raised.
  bool Run(const std::function<void()>& handler);

  void FormShow();
  void FormClose();
  // A window whose job is still running must not close under it.
  bool CanClose() const { return !guard_.Busy(); }
  void cbAutoClick(bool checked);
  void bRS232Click();
  void bGetParamsClick();
  void bLoadProgClick();
  void bSetParamsClick();

  // The device search before each job.
  bool FindDevicePort();
  void EnterProgramFolder();

  // JobUI, for the jobs.
  void ShowError(const std::string& text) override;
  void ShowInfo(const std::string& text) override;
  int AskYesNo(const std::string& text) override;
  std::unique_ptr<ProgressDialog> CreateProgress() override;
  std::optional<std::filesystem::path> ChooseFirmwareFile() override;
  std::optional<std::filesystem::path> ChooseSettingsFile() override;
  void ProcessMessages() override;

  // The one device link, created by the first FormShow (or by the first handler that needs it
  // when the start-up stopped before it).
  TKV_RS* DeviceLink() { return device_link_.get(); }
  bool AutoDetect = false;
  // The instance list of the last device search (shown in the hidden Memo).
  std::vector<std::string> Memo;
  // The version words and the settings-area table of the last backup or restore.
  WindowFields Fields;

 private:
  TKV_RS& Link();
  // Runs one job; the guard keeps a second one off the link meanwhile.
  void RunJob(const std::function<JobResult(JobContext&)>& job);
  // The job buttons, and the port button, are disabled while a job runs.
  void JobStateChanged(bool busy);

  TMainFormDeps deps_;
  std::unique_ptr<TKV_RS> device_link_;
  TOpenDialogSpec open_dialog1_{kFirmwareFilter, {}};
  TOpenDialogSpec open_dialog2_{kSettingsFilter, {}};
  JobGuard guard_;
};

}  // namespace qv
