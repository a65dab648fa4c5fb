#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jobs/job_context.h"
#include "jobs/job_ui.h"
#include "link/KV_RS232.h"
#include "sim/in_process_device.h"

namespace qv::test {

// One thing the job did to the user interface, in order: "label:TEXT", "gauge:N",
// "show_gauge:0|1", "cancel:0|1", "process", "error:TEXT", "info:TEXT", "ask:TEXT",
// "create", "destroy(port open)" or "destroy(port closed)".
using Events = std::vector<std::string>;

class ScriptedJobUI;

// A progress dialog that records what the job does with it. A Cancel click only counts while
// the button is visible, as with the real dialog.
class RecordingProgress final : public ProgressDialog {
 public:
  RecordingProgress(ScriptedJobUI& ui) : ui_(ui) {}
  ~RecordingProgress() override;
  void SetLabel(const std::string& text) override;
  void SetGauge(int percent) override;
  void ShowGauge(bool visible) override;
  void ShowCancel(bool visible) override;
  bool Cancelled() const override { return cancelled_; }
  void ClickCancel() {
    if (cancel_visible_) cancelled_ = true;
  }

 private:
  ScriptedJobUI& ui_;
  bool cancel_visible_ = false;
  bool cancelled_ = false;
};

// A job UI whose answers the test scripts and whose every call is recorded in `events`.
class ScriptedJobUI final : public JobUI {
 public:
  void ShowError(const std::string& text) override { events.push_back("error:" + text); }
  void ShowInfo(const std::string& text) override { events.push_back("info:" + text); }
  int AskYesNo(const std::string& text) override {
    events.push_back("ask:" + text);
    return answer;
  }
  std::unique_ptr<ProgressDialog> CreateProgress() override {
    events.push_back("create");
    auto dialog = std::make_unique<RecordingProgress>(*this);
    progress = dialog.get();
    return dialog;
  }
  std::optional<std::filesystem::path> ChooseFirmwareFile() override { return file; }
  std::optional<std::filesystem::path> ChooseSettingsFile() override { return file; }
  void ProcessMessages() override {
    events.push_back("process");
    if (on_process) on_process();
  }

  // The gauge values the job set, in order.
  std::vector<int> Gauges() const;
  // The messages shown (error, info and ask events), in order.
  Events Shown() const;

  Events events;
  int answer = qv::Messages::kYes;
  std::optional<std::filesystem::path> file;
  std::function<void()> on_process;
  RecordingProgress* progress = nullptr;  // the live dialog, null once destroyed
  TKV_RS* link = nullptr;                 // to record whether the port is open at destroy
};

// A fault rule: requests matching `command` (any when empty), from request number `from` on
// (counting every frame), for `count` of them (0: all), get no reply.
inline sim::FaultRule Silent(std::optional<uint8_t> command, uint32_t from = 1,
                             uint32_t count = 0) {
  sim::FaultRule rule;
  rule.kind = sim::FaultKind::kSilent;
  rule.command = command;
  rule.from = from;
  rule.count = count;
  return rule;
}

// A job run against the in-process simulated device on COM1, on a virtual clock, in a fresh
// temporary current folder.
class JobTest : public ::testing::Test {
 protected:
  JobTest();
  ~JobTest() override;

  sim::DeviceModel& Model() { return dev.Model(); }
  // Command bytes of every request the device received, in order.
  std::vector<uint8_t> Commands() const { return dev.device.Model().Commands(); }
  size_t CountOf(uint8_t command) const { return dev.device.Model().CountOf(command); }
  // Writes bytes to a file in the temporary folder and makes it the one the user chooses.
  std::filesystem::path ChooseFile(const std::string& name, const std::vector<uint8_t>& bytes);
  bool PortOpen() { return dev.fake_platform.Line(1)->is_open; }

  std::filesystem::path folder;
  std::filesystem::path old_folder;
  sim::InProcessDevice dev;
  ScriptedJobUI ui;
  platform::NullMessagePump pump;
  std::unique_ptr<TKV_RS> link;
  WindowFields fields;
  JobGuard guard;
  int find_calls = 0;
  bool find_result = true;
  std::unique_ptr<JobContext> ctx;
};

}  // namespace qv::test
