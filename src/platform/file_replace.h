#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace qv::platform {

// Writes a whole file so that it is never seen half-written and survives a power cut once this
// returns: the bytes go to "<path>.tmp" in the same folder, are forced to the disk, and the
// temporary file is renamed over the target. On failure the temporary file is removed, an older
// file of that name is left as it was, and the system's reason is returned.
std::error_code ReplaceFileContents(const std::filesystem::path& path, const uint8_t* data,
                                    size_t size);

}  // namespace qv::platform
