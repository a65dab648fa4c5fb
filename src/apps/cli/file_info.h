#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qv::cli {

enum class FileKind { kFirmware, kSettings, kUnknown };

// The kind of file by its extension: ".rom" or ".prmz", in any letter case.
FileKind KindOfFile(const std::filesystem::path& path);

// What the info command prints for a file's bytes, in lines of "key=value" fields. A firmware
// image gives one line whose first two fields read like the identify line, so that a script
// can compare them:
//   type=0x21 version=0x0405 load_address=0x00008000 pages=3 size=3079
// A settings file gives its version word, the head of its FAT, then one line per area entry:
//   version=0x0405 size=4066 count=2 firmware=0x12
//   area=1 start=0x0040 length=40
// A damaged file raises the jobs' InputRefused with its text.
std::string DescribeFirmwareFile(std::vector<uint8_t> bytes);
std::string DescribeSettingsFile(const std::vector<uint8_t>& bytes);

}  // namespace qv::cli
