#pragma once

#include <string>

namespace qv::platform::win32 {

// The path CreateFileA needs for a port given as "COM5", "\\.\COM5" or "\\?\COM5": a bare
// "COMn" becomes "\\.\COMn" (COM10 and above cannot be opened by their bare name); every other
// path is used as it stands.
std::string DevicePathForOpen(const std::string& path);

// Whether waits for port input on this thread also wake for window messages. The desktop
// program's message pump turns it on for the thread that runs its windows; elsewhere (the CLI,
// the tests) nobody would take the messages out of the queue, and a wait that wakes for them
// would return again at once.
void SetWaitsWakeForMessages(bool wake);
bool WaitsWakeForMessages();

}  // namespace qv::platform::win32
