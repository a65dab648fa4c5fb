#pragma once

#include <optional>
#include <string>

#include "link/device_commands.h"

namespace qv {

class TKV_RS;
class JobUI;
class ProgressDialog;
namespace platform {
class Clock;
}

// The pause between two connection attempts of a job.
inline constexpr int64_t kConnectPauseMs = 3000;

// The connection wait that opens every job: Identify (ReplyTimeout 100) until the device answers.
// After a failed attempt the pending window messages are processed once and Cancelled is read;
// then the port is reopened (SetActive(true)) and 3000 ms pass before the next attempt.
// Returns the device's identity, or nothing when the user cancelled; the failure text of the
// last attempt is kept in *last_failure when given (the CLI reports it when its time runs out).
std::optional<device::Identity> WaitForDevice(TKV_RS& link, JobUI& ui, ProgressDialog& progress,
                                              platform::Clock& clock,
                                              std::string* last_failure = nullptr);

}  // namespace qv
