#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qv {

// The path as UTF-8 text, which is what the program's messages are made of.
std::string PathText(const std::filesystem::path& path);

// Reads a whole file. Raises Exception "Не удалось прочитать файл NAME: reason" with the system's
// error code when it cannot be opened or read.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);

// Writes a whole file so that it is never seen half-written: the bytes go to a temporary file in
// the target's folder, are forced to the disk, and the file is renamed over the target. On failure
// the temporary file is removed, an older file of that name is left as it was, and Exception "Не
// удалось записать файл NAME: reason" is raised with the system's error code.
void WriteFileReplacing(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace qv
