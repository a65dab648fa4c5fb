#pragma once

#include <system_error>

#include "platform/win32/windows_api.h"

namespace qv::platform::win32 {

// A Win32 error code as std::error_code in the system category, so the code is kept beside the
// message wherever it travels.
std::error_code ErrorCodeOf(DWORD code);
// The calling thread's last Win32 error.
std::error_code LastErrorCode();

// Whether an error from a serial call means that the port is no longer usable (the USB device
// was pulled, the driver shut the port, the handle was cancelled): waiting on it again would
// fail again at once.
bool IsPortGone(DWORD code);

}  // namespace qv::platform::win32
