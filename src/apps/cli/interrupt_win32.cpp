// The terminal on Windows: Ctrl-C through the console's control handler, console detection, and
// a console that shows the program's UTF-8 texts.

#include <io.h>

#include "apps/cli/interrupt.h"
#include "platform/win32/windows_api.h"

namespace qv::cli {
namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_interruptible{true};
std::atomic<int> g_late_presses{0};

// The status of a program ended by Ctrl-C, as the shells of POSIX report it.
constexpr UINT kInterruptedStatus = 130;

constexpr char kNotNow[] =
    "\nquorvane-cli: the job is working on the device and cannot be interrupted now; press "
    "Ctrl-C again to stop at once.\n";

// Runs on a thread of its own that the console starts for each press.
BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (g_interruptible.load()) {
    g_interrupted.store(true);
    return TRUE;
  }
  if (g_late_presses.fetch_add(1) == 0) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), kNotNow, sizeof kNotNow - 1, &written, nullptr);
    return TRUE;
  }
  ::ExitProcess(kInterruptedStatus);
}

}  // namespace

const std::atomic<bool>& InterruptFlag() {
  return g_interrupted;
}

void InstallInterruptHandler() {
  // The texts are UTF-8; without this the console shows the Russian ones as the ANSI code page
  // reads their bytes. The input side too, for the answer to the re-plug question.
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
  ::SetConsoleCtrlHandler(&OnControl, TRUE);
}

void SetInterruptible(bool interruptible) {
  g_interruptible.store(interruptible);
}

bool IsTerminal(int fd) {
  // _isatty counts every character device, the NUL device among them, as a terminal; only a
  // console handle that has a console mode is one.
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace qv::cli
