#include "jobs/connection.h"

#include "common/exception.h"
#include "jobs/job_ui.h"
#include "link/KV_RS232.h"
#include "platform/clock.h"

namespace qv {

std::optional<device::Identity> WaitForDevice(TKV_RS& link, JobUI& ui, ProgressDialog& progress,
                                              platform::Clock& clock, std::string* last_failure) {
  for (;;) {
    try {
      return device::Identify(link);
    } catch (const Exception& e) {
      // The device is not there yet: no message, try again after the pause.
      if (last_failure) *last_failure = e.what();
    }
    ui.ProcessMessages();
    if (progress.Cancelled()) return std::nullopt;
    link.SetActive(true);
    clock.SleepMs(kConnectPauseMs);
  }
}

}  // namespace qv
