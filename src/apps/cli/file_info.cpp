#include "apps/cli/file_info.h"

#include <cstdio>

#include "jobs/firmware_image.h"
#include "jobs/settings_file.h"

namespace qv::cli {
namespace {

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

std::string LowerExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

}  // namespace

FileKind KindOfFile(const std::filesystem::path& path) {
  std::string ext = LowerExtension(path);
  if (ext == ".rom") return FileKind::kFirmware;
  if (ext == ".prmz") return FileKind::kSettings;
  return FileKind::kUnknown;
}

std::string DescribeFirmwareFile(std::vector<uint8_t> bytes) {
  size_t size = bytes.size();
  FirmwareImage image = ParseFirmwareImage(std::move(bytes));
  return "type=" + Hex(image.McuType, 2) + " version=" + Hex(image.ImageVersion, 4) +
         " load_address=" + Hex(image.LoadAddress, 8) +
         " pages=" + std::to_string(image.PageCount()) + " size=" + std::to_string(size) + "\n";
}

std::string DescribeSettingsFile(const std::vector<uint8_t>& bytes) {
  SettingsFile file = DecodeSettingsFile(bytes);
  const std::vector<uint8_t>& image = file.image;
  unsigned count = image[0];
  std::string out = "version=" + Hex(file.version, 4) + " size=" + std::to_string(bytes.size()) +
                    " count=" + std::to_string(count) + " firmware=" + Hex(image[1], 2) + "\n";
  for (size_t i = 1; i <= count; ++i) {
    auto entry = ReadAreaEntry(image.data(), image.size(), i);
    if (!entry) break;
    out += "area=" + std::to_string(i) + " start=" + Hex(entry->Start, 4) +
           " length=" + std::to_string(entry->Length) + "\n";
  }
  return out;
}

}  // namespace qv::cli
