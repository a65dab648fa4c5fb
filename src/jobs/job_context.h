#pragma once

#include <functional>
#include <string>

#include "jobs/date_time_text.h"
#include "jobs/job_guard.h"
#include "jobs/window_fields.h"

namespace qv {

class TKV_RS;
class JobUI;
namespace platform {
class Clock;
}

// Everything a job works with, passed in by the shell (or the CLI) for each run.
struct JobContext {
  TKV_RS& link;
  JobUI& ui;
  // The 3000 ms pause between connection attempts and the 50 ms pause between page attempts.
  platform::Clock& clock;
  // The main window's device search, the job's first step (after the re-plug question of the
  // restore): true when the job may go on; false when the device was not found, which the search
  // has already told the user.
  std::function<bool()> FindDevicePort;
  WindowFields& fields;
  JobGuard& guard;
  // The local date and time that names a backup file.
  LocalTimeSource local_time = LocalNow;
};

// How a job ended, for a front end that reports it (the CLI's exit status). Every message the job
// had to show has been shown by the time it returns.
enum class JobOutcome {
  kDone,       // the success message was shown
  kCancelled,  // the user said No, closed the file dialog or cancelled the connection wait
  kNotFound,   // FindDevicePort found no device and has said so
  kBusy,       // another job holds the link; nothing was done
  kRefused,    // a damaged file or device table was refused with its message; nothing was written
  kFailed,     // a device failure or a version mismatch was shown with ShowError
};

struct JobResult {
  JobOutcome outcome = JobOutcome::kDone;
  // The failure text of the last connection attempt that the device did not answer, empty when
  // the first attempt succeeded (the CLI reports it when its connection time runs out).
  std::string connect_failure;
};

}  // namespace qv
