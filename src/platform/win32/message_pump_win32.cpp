#include "platform/win32/message_pump_win32.h"

#include <algorithm>

#include "platform/win32/serial_win32.h"

namespace qv::platform::win32 {

Win32MessagePump::Win32MessagePump() {
  SetWaitsWakeForMessages(true);
}

Win32MessagePump::~Win32MessagePump() {
  SetWaitsWakeForMessages(false);
}

void Win32MessagePump::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The main loop must still see it; a job running inside a handler only stops pumping.
      quit_seen_ = true;
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

void Win32MessagePump::AddDialog(HWND dialog) {
  dialogs_.push_back(dialog);
}

void Win32MessagePump::RemoveDialog(HWND dialog) {
  dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), dialog), dialogs_.end());
}

void Win32MessagePump::Dispatch(MSG& msg) {
  for (HWND dialog : dialogs_) {
    if (::IsWindow(dialog) && ::IsDialogMessageW(dialog, &msg)) return;
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

}  // namespace qv::platform::win32
