#pragma once

#include <string>

namespace qv::cli {

enum class PathStyle { kPosix, kWindows };

// The style of the system this program was built for.
PathStyle ThisSystemPathStyle();

// The device path that --device PATH opens. POSIX paths are taken as given. On Windows a bare
// port name ("COM5", any letter case) becomes "\\.\COM5", the form that also reaches COM10 and
// above; a path that already has a device prefix is taken as given.
std::string DevicePathFromArgument(const std::string& argument, PathStyle style);

}  // namespace qv::cli
