#pragma once

#include <string>
#include <vector>

#include "port/port_chooser.h"
#include "win32_ui.h"

namespace qv::win32 {

// The port chooser "Выбор номера порта": a modal dialog centred on the screen with the label,
// the drop-down list of ports (pick only, no typing), OK (default) and Cancel (Esc, the close
// button).
class Win32PortChooser final : public TKV_RS232_SetNumDlg {
 public:
  explicit Win32PortChooser(HWND owner = nullptr) : owner_(owner) {}
  void SetOwner(HWND owner) { owner_ = owner; }

  bool ShowModal(const std::vector<std::string>& entries, int& selected) override;

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls(HWND dialog);

  HWND owner_;
  const std::vector<std::string>* entries_ = nullptr;
  int selected_ = -1;
  HWND PCB = nullptr;
};

}  // namespace qv::win32
