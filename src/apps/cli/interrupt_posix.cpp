// The terminal on POSIX: Ctrl-C through SIGINT, and terminal detection.

#include "apps/cli/interrupt.h"

#include <unistd.h>

#include <csignal>

namespace qv::cli {
namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_interruptible{true};
std::atomic<int> g_late_presses{0};

constexpr char kNotNow[] =
    "\nquorvane-cli: the job is working on the device and cannot be interrupted now; press "
    "Ctrl-C again to stop at once.\n";

void OnInterrupt(int) {
  if (g_interruptible.load()) {
    g_interrupted.store(true);
    return;
  }
  if (g_late_presses.fetch_add(1) == 0) {
    (void)::write(2, kNotNow, sizeof kNotNow - 1);
    return;
  }
  // The second press: end as Ctrl-C ends a program, with the status that says so.
  std::signal(SIGINT, SIG_DFL);
  std::raise(SIGINT);
}

}  // namespace

const std::atomic<bool>& InterruptFlag() {
  return g_interrupted;
}

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a read waiting for the answer returns on Ctrl-C
  sigaction(SIGINT, &action, nullptr);
}

void SetInterruptible(bool interruptible) {
  g_interruptible.store(interruptible);
}

bool IsTerminal(int fd) {
  return ::isatty(fd) != 0;
}

}  // namespace qv::cli
