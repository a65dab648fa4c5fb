#include "jobs/restore_plan.h"

#include <algorithm>
#include <string>

#include "jobs/input_refused.h"
#include "jobs/job_texts.h"
#include "jobs/settings_file.h"

namespace qv {
namespace {

[[noreturn]] void RefuseArea(const char* head, size_t area, const char* tail) {
  throw InputRefused(head + std::to_string(area) + tail);
}

}  // namespace

std::vector<AreaWrite> PlanRestoreAreas(const std::vector<uint8_t>& image,
                                        const std::vector<uint8_t>& device_table) {
  uint8_t device_count = device_table.empty() ? 0 : device_table[0];
  if (device_count > kMaxDeviceAreas) throw InputRefused(texts::kDeviceFatTooLong);
  size_t n_areas = std::min<size_t>(image.empty() ? 0 : image[0], device_count);

  std::vector<AreaWrite> plan;
  plan.reserve(n_areas);
  for (size_t i = 1; i <= n_areas; ++i) {
    auto file = ReadAreaEntry(image.data(), image.size(), i);
    auto device = ReadAreaEntry(device_table.data(), device_table.size(), i);
    if (!file || !device) RefuseArea(texts::kAreaOutsideFile, i, texts::kAreaOutsideEnd);
    if (file->Length < kAreaTailBytes || device->Length < kAreaTailBytes) {
      RefuseArea(texts::kAreaTooShort, i, texts::kAreaTooShortEnd);
    }
    AreaWrite area;
    area.device_start = device->Start;
    area.stored_length = static_cast<uint16_t>(device->Length - kAreaTailBytes);
    area.bytes = static_cast<uint16_t>(std::min(file->Length, device->Length) - kAreaTailBytes);
    if (file->Start < kImageBaseAddress) {
      RefuseArea(texts::kAreaOutsideFile, i, texts::kAreaOutsideEnd);
    }
    area.image_offset = file->Start - kImageBaseAddress;
    if (area.image_offset + area.bytes > image.size()) {
      RefuseArea(texts::kAreaOutsideFile, i, texts::kAreaOutsideEnd);
    }
    plan.push_back(area);
  }
  return plan;
}

}  // namespace qv
