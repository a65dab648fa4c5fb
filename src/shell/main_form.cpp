#include "shell/main_form.h"

#include <system_error>

#include "jobs/firmware_upload.h"
#include "jobs/settings_backup.h"
#include "jobs/settings_restore.h"
#include "shell/app_error.h"
#include "shell/device_discovery.h"
#include "shell/in_out_error.h"
#include "shell/mini_file.h"
#include "shell/progress_form.h"

namespace qv {
namespace {

constexpr const char* kCommonSection = "Common";
constexpr const char* kAutoKey = "Auto";
constexpr const char* kWindowSection = "MainWindow";

}  // namespace

TMainForm::TMainForm(TMainFormDeps deps) : deps_(std::move(deps)) {
  guard_.OnChange([this](bool busy) { JobStateChanged(busy); });
}

TMainForm::~TMainForm() = default;

bool TMainForm::Run(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    deps_.view.ShowApplicationError(ApplicationTitle(deps_.executable),
                                    TopLevelErrorText(e.what()));
    return false;
  }
}

void TMainForm::EnterProgramFolder() {
  std::error_code ec;
  std::filesystem::current_path(deps_.executable.parent_path(), ec);
  if (ec) throw InOutError(ec);
}

TKV_RS& TMainForm::Link() {
  if (!device_link_) {
    device_link_ = std::make_unique<TKV_RS>(deps_.ports, deps_.view, deps_.clock, deps_.pump);
    device_link_->SetChooser(&deps_.port_chooser);
  }
  return *device_link_;
}

void TMainForm::FormShow() {
  deps_.view.SetCaption(kCaption);
  EnterProgramFolder();
  TKV_RS& link = Link();
  AutoDetect = false;
  {
    TMIniFile ini(deps_.executable);
    link.LoadSettings(ini);
    AutoDetect = ini.ReadBool(kCommonSection, kAutoKey, AutoDetect);
    ini.ReadWindowPlacement(kWindowSection, deps_.view);
  }
  open_dialog1_.initial_dir = deps_.executable.parent_path();
  link.SetBaudRate(kDeviceBaudRate);
  link.SetActive(false);
  deps_.view.SetAutoChecked(AutoDetect);
  deps_.view.SetRS232Enabled(!AutoDetect);
}

void TMainForm::FormClose() {
  EnterProgramFolder();
  TMIniFile ini(deps_.executable);
  // Only a start-up that stopped before the link was made leaves no port number to keep.
  if (device_link_) device_link_->SaveSettings(ini);
  ini.WriteBool(kCommonSection, kAutoKey, AutoDetect);
  ini.WriteWindowPlacement(kWindowSection, deps_.view);
}

void TMainForm::cbAutoClick(bool checked) {
  AutoDetect = checked;
  deps_.view.SetRS232Enabled(!AutoDetect);
}

void TMainForm::bRS232Click() {
  if (guard_.Busy()) return;
  TKV_RS& link = Link();
  link.SelectPort();
  link.SetActive(false);
}

bool TMainForm::FindDevicePort() {
  struct MemoUpdate {
    TMainForm& form;
    ~MemoUpdate() { form.deps_.view.SetMemoLines(form.Memo); }
  } memo_update{*this};
  return qv::FindDevicePort(AutoDetect, Link(), deps_.registry, Memo);
}

void TMainForm::RunJob(const std::function<JobResult(JobContext&)>& job) {
  if (guard_.Busy()) return;
  JobContext ctx{Link(), *this, deps_.clock, [this] { return FindDevicePort(); }, Fields, guard_};
  job(ctx);
}

void TMainForm::bGetParamsClick() {
  RunJob([](JobContext& ctx) { return BackupSettings(ctx); });
}
void TMainForm::bLoadProgClick() {
  RunJob(&UploadFirmware);
}
void TMainForm::bSetParamsClick() {
  RunJob(&RestoreSettings);
}

void TMainForm::JobStateChanged(bool busy) {
  deps_.view.SetJobButtonsEnabled(!busy);
  deps_.view.SetRS232Enabled(!busy && !AutoDetect);
}

void TMainForm::ShowError(const std::string& text) {
  deps_.view.ShowError(text);
}
void TMainForm::ShowInfo(const std::string& text) {
  deps_.view.ShowInfo(text);
}
int TMainForm::AskYesNo(const std::string& text) {
  return deps_.view.AskYesNo(text);
}

std::unique_ptr<ProgressDialog> TMainForm::CreateProgress() {
  return std::make_unique<TProgressForm>(deps_.view.CreateProgressView());
}

std::optional<std::filesystem::path> TMainForm::ChooseFirmwareFile() {
  return deps_.view.ChooseFile(open_dialog1_);
}

std::optional<std::filesystem::path> TMainForm::ChooseSettingsFile() {
  return deps_.view.ChooseFile(open_dialog2_);
}

void TMainForm::ProcessMessages() {
  deps_.view.ProcessMessages();
}

}  // namespace qv
