#pragma once

#include <atomic>

namespace qv::cli {

// Set by the Ctrl-C handler; the handler does nothing else while the command may still stop.
const std::atomic<bool>& InterruptFlag();

// Installs the Ctrl-C handler. It only sets the flag, and it does not restart an interrupted
// read, so that the terminal question of the restore ends on Ctrl-C too.
void InstallInterruptHandler();

// Once the job writes to the device Ctrl-C no longer stops it: the first press only says so on
// stderr, and a second one ends the program at once.
void SetInterruptible(bool interruptible);

// Whether the file descriptor (0 stdin, 1 stdout, 2 stderr) is a terminal.
bool IsTerminal(int fd);

}  // namespace qv::cli
