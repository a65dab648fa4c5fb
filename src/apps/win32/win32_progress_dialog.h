#pragma once

#include <memory>

#include "platform/win32/message_pump_win32.h"
#include "shell/progress_view.h"
#include "win32_gauge.h"
#include "win32_ui.h"

namespace qv::win32 {

// The progress dialog "Progress...": a modeless dialog on top of every window, with a title bar
// but no buttons in it, the stage label, the gauge and the Cancel button. Its keys (Esc for
// Cancel) reach it through the message pump, which it joins for as long as it lives.
class Win32ProgressDialog final : public TProgressFormView {
 public:
  Win32ProgressDialog(HWND main_window, platform::win32::Win32MessagePump& pump);
  ~Win32ProgressDialog() override;

  void Bind(TProgressFormEvents& events) override { events_ = &events; }
  void Show() override;
  void SetLabelText(const std::string& text) override;
  void SetGaugePosition(int percent) override;
  void SetGaugeVisible(bool visible) override;
  void SetCancelVisible(bool visible) override;

  HWND Handle() const { return dialog_; }

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();

  HWND main_window_;
  platform::win32::Win32MessagePump& pump_;
  TProgressFormEvents* events_ = nullptr;
  HWND dialog_ = nullptr;
  HWND ProgressLabel = nullptr;
  std::unique_ptr<Gauge> ProgressGauge;
  HWND BitBtn1 = nullptr;
};

}  // namespace qv::win32
