#pragma once

#include <vector>

#include "platform/message_pump.h"
#include "platform/win32/windows_api.h"

namespace qv::platform::win32 {

// Processes the thread's pending window messages while the link waits for the device, so the
// windows keep painting and the progress dialog's Cancel button (and Esc) is taken. While one
// exists, the serial waits of its thread wake for window messages as well as for port input.
class Win32MessagePump final : public MessagePump {
 public:
  Win32MessagePump();
  ~Win32MessagePump() override;
  Win32MessagePump(const Win32MessagePump&) = delete;
  Win32MessagePump& operator=(const Win32MessagePump&) = delete;

  void ProcessMessages() override;

  // Modeless dialogs get their keyboard handling (Esc, Tab, Enter) through IsDialogMessage.
  void AddDialog(HWND dialog);
  void RemoveDialog(HWND dialog);

  // Routes one message: to a modeless dialog when it is one of its own, else to its window.
  void Dispatch(MSG& msg);

  // True once WM_QUIT has been taken out of the queue; it is posted again so that the main
  // message loop still ends.
  bool QuitSeen() const { return quit_seen_; }

 private:
  std::vector<HWND> dialogs_;
  bool quit_seen_ = false;
};

}  // namespace qv::platform::win32
