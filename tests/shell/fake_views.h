#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_registry.h"
#include "port/port_chooser.h"
#include "shell/main_form_view.h"
#include "support/recording_messages.h"

namespace qv::test {

// A form's placement that records which values were set, in order.
struct FakePlacement : TFormPlacement {
  int WindowState() const override { return state; }
  void SetWindowState(int s) override {
    sets.push_back("State");
    state = (s >= 0 && s <= 2) ? s : 0;
  }
  int Left() const override { return left; }
  void SetLeft(int v) override { sets.push_back("Left"), left = v; }
  int Top() const override { return top; }
  void SetTop(int v) override { sets.push_back("Top"), top = v; }
  int Width() const override { return width; }
  void SetWidth(int v) override { sets.push_back("Width"), width = v; }
  int Height() const override { return height; }
  void SetHeight(int v) override { sets.push_back("Height"), height = v; }
  bool Sizeable() const override { return sizeable; }

  int state = 0, left = 200, top = 150, width = 826, height = 288;
  bool sizeable = false;
  std::vector<std::string> sets;
};

struct FakeProgressView : TProgressFormView {
  void Bind(TProgressFormEvents& e) override { events = &e; }
  void Show() override { shown = events != nullptr; }
  void SetLabelText(const std::string& text) override { label = text; }
  void SetGaugePosition(int percent) override { gauge = percent; }
  void SetGaugeVisible(bool visible) override { gauge_visible = visible; }
  void SetCancelVisible(bool visible) override { cancel_visible = visible; }

  TProgressFormEvents* events = nullptr;
  bool shown = false;
  std::string label;
  int gauge = -1;
  bool gauge_visible = true;
  bool cancel_visible = true;
};

// The main window without a toolkit: the messages are recorded, the file dialogs answer from
// fields, and a hook runs inside every message box (to act while a handler is in progress).
struct FakeMainView : TMainFormView, FakePlacement {
  void ShowError(const std::string& text) override { Record("error", text); }
  void ShowInfo(const std::string& text) override { Record("info", text); }
  int AskYesNo(const std::string& text) override { return Record("ask", text); }

  int WindowState() const override { return FakePlacement::WindowState(); }
  void SetWindowState(int s) override { FakePlacement::SetWindowState(s); }
  int Left() const override { return FakePlacement::Left(); }
  void SetLeft(int v) override { FakePlacement::SetLeft(v); }
  int Top() const override { return FakePlacement::Top(); }
  void SetTop(int v) override { FakePlacement::SetTop(v); }
  int Width() const override { return FakePlacement::Width(); }
  void SetWidth(int v) override { FakePlacement::SetWidth(v); }
  int Height() const override { return FakePlacement::Height(); }
  void SetHeight(int v) override { FakePlacement::SetHeight(v); }
  bool Sizeable() const override { return FakePlacement::Sizeable(); }

  void SetCaption(const std::string& text) override { caption = text; }
  void SetAutoChecked(bool checked) override { auto_checked = checked; }
  void SetRS232Enabled(bool enabled) override { rs232_enabled = enabled; }
  void SetJobButtonsEnabled(bool enabled) override { jobs_enabled = enabled; }
  void SetMemoLines(const std::vector<std::string>& lines) override { memo = lines; }
  std::optional<std::filesystem::path> ChooseFile(const TOpenDialogSpec& dialog) override {
    dialogs.push_back(dialog);
    return std::nullopt;
  }
  std::unique_ptr<TProgressFormView> CreateProgressView() override {
    return std::make_unique<FakeProgressView>();
  }
  void ProcessMessages() override {}
  void ShowApplicationError(const std::string& caption, const std::string& text) override {
    app_errors.push_back({caption, text});
  }

  int Record(const std::string& kind, const std::string& text) {
    shown.push_back({kind, text});
    jobs_enabled_at_message.push_back(jobs_enabled);
    if (inside_message) inside_message();
    return Messages::kYes;
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> out;
    for (const auto& s : shown) {
      if (s.kind == "error") out.push_back(s.text);
    }
    return out;
  }

  std::string caption;
  std::optional<bool> auto_checked;
  std::optional<bool> rs232_enabled;
  bool jobs_enabled = true;
  std::vector<std::string> memo;
  std::vector<TOpenDialogSpec> dialogs;
  std::vector<RecordingMessages::Shown> shown;
  std::vector<bool> jobs_enabled_at_message;
  std::vector<std::pair<std::string, std::string>> app_errors;
  std::function<void()> inside_message;
};

// The device's USB entries: instance name → friendly name (nothing: no value; "!": not text).
struct FakeRegistry : platform::DeviceRegistry {
  std::vector<std::string> InstanceNames() override {
    ++listings;
    std::vector<std::string> names;
    for (const auto& [name, friendly] : entries)
      names.push_back(name);
    return names;
  }
  std::optional<std::string> FriendlyName(const std::string& instance) override;

  std::vector<std::pair<std::string, std::optional<std::string>>> entries;
  std::vector<std::string> read;
  int listings = 0;
};

struct ScriptedChooser : TKV_RS232_SetNumDlg {
  bool ShowModal(const std::vector<std::string>& entries, int& selected) override {
    offered = entries;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i] == pick) selected = static_cast<int>(i);
    }
    return ok;
  }
  std::string pick;
  bool ok = true;
  std::vector<std::string> offered;
};

}  // namespace qv::test
