// The desktop program on Windows: one copy per executable name, the main window over the
// shell's logic, the ini file beside the executable. It takes no command-line arguments.

#include <exception>

#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/process.h"
#include "platform/win32/message_pump_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/text_win32.h"
#include "shell/app_error.h"
#include "shell/main_form.h"
#include "win32_main_window.h"
#include "win32_port_chooser.h"

// After windows.h, which it needs.
#include <commctrl.h>

namespace {

int RunApplication(const std::filesystem::path& executable, int show_command) {
  qv::platform::win32::Win32MessagePump pump;
  qv::platform::TableSerialPlatform ports(qv::platform::PortTable::ForThisSystem(nullptr));
  qv::platform::win32::RegistryDeviceRegistry registry;
  qv::win32::Win32MainWindow window(pump);
  qv::win32::Win32PortChooser chooser(window.Handle());
  qv::TMainForm form(
      {window, chooser, ports, registry, qv::platform::SystemClock(), pump, executable});
  window.Attach(form);
  window.Show(show_command);

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    pump.Dispatch(msg);
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show_command) {
  std::filesystem::path executable = qv::platform::ExecutablePath();
  // A second copy of the same executable ends at once, without a message.
  auto lock = qv::platform::AcquireInstanceLock(
      qv::platform::win32::WideToUtf8(executable.filename().wstring()));
  if (!lock) return 0;

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  try {
    return RunApplication(executable, show_command);
  } catch (const std::exception& e) {
    // An error outside every handler still reaches the user in the application's error box.
    ::MessageBoxW(nullptr, qv::win32::Wide(qv::TopLevelErrorText(e.what())).c_str(),
                  qv::win32::Wide(qv::ApplicationTitle(executable)).c_str(), MB_OK | MB_ICONERROR);
    return 1;
  }
}
