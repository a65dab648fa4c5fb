#pragma once

#include "jobs/job_context.h"

namespace qv {

// The settings restore, the job behind bSetParamsClick: asks the user to re-plug the device,
// finds its port, waits until it answers (DeviceVersion), lets the user choose a *.prmz file,
// checks the file's version word against the device's, reads the device's FAT (blocks 1 to 3)
// and checks the firmware version bytes of the two FATs, checks every area pair, then writes the
// areas one by one (BeginArea, chunks of up to 32 bytes, StoreArea) and shows
// "Настройки записаны в МК". A file that cannot be read and failures of the block reads and the
// area writes leave as Exception after the clean-up.
JobResult RestoreSettings(JobContext& ctx);

}  // namespace qv
