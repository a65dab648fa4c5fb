#pragma once

#include "jobs/job_context.h"
#include "link/device_commands.h"

namespace qv {

// The firmware upload, the job behind bLoadProgClick: finds the device's port, lets the user
// choose a *.rom file, waits until the device answers, checks the file's trailer against the
// device's type and version, programs the file page by page (32 chunks and one ProgramPage of up
// to three attempts each), writes the reset marker into bytes 16 to 19 of settings block 0,
// finishes the upload and shows the closing message. Link failures of the pages and the closing
// sequence are shown with ShowError; a file that cannot be read leaves as Exception after the
// clean-up.
JobResult UploadFirmware(JobContext& ctx);

// The failure text of a ProgramPage status, tested in the device's order (supply, erase, code 1
// to 4); null when the page was programmed.
const char* PageStatusFailure(const device::PageStatus& status);

}  // namespace qv
