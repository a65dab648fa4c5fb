// A settings file and the device's FAT as a restore meets them: the first 96 input bytes stand
// for the device's table (settings blocks 1 to 3, zero-filled when the input is shorter), the
// rest for the chosen file. Either the file or the tables are refused before anything would be
// written, or every planned area reads only bytes inside the image and stores no wrapped length.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "jobs/input_refused.h"
#include "jobs/restore_plan.h"
#include "jobs/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t table_bytes = std::min(size, qv::kDeviceTableBytes);
  std::vector<uint8_t> device_table(data, data + table_bytes);
  device_table.resize(qv::kDeviceTableBytes, 0);
  const std::vector<uint8_t> file(data + table_bytes, data + size);

  qv::SettingsFile settings;
  try {
    settings = qv::DecodeSettingsFile(file);
  } catch (const qv::InputRefused&) {
    QV_FUZZ_CHECK(file.size() < qv::kVersionWordBytes + qv::kFatRecordBytes);
    return 0;
  }
  QV_FUZZ_CHECK(file.size() >= qv::kVersionWordBytes + qv::kFatRecordBytes);
  QV_FUZZ_CHECK(settings.image.size() == file.size() - qv::kVersionWordBytes);
  QV_FUZZ_CHECK(settings.version == (file[0] | (file[1] << 8)));
  // Scrambling is its own inverse: encoding what was decoded gives the file back.
  QV_FUZZ_CHECK(qv::EncodeSettingsFile(settings.version, settings.image) == file);

  std::vector<qv::AreaWrite> plan;
  try {
    plan = qv::PlanRestoreAreas(settings.image, device_table);
  } catch (const qv::InputRefused&) {
    return 0;
  }
  QV_FUZZ_CHECK(device_table[0] <= qv::kMaxDeviceAreas);
  QV_FUZZ_CHECK(plan.size() == std::min<size_t>(settings.image[0], device_table[0]));
  for (size_t i = 0; i < plan.size(); ++i) {
    const qv::AreaWrite& area = plan[i];
    const size_t entry = 4 * (i + 1);
    const uint16_t device_start = device_table[entry] | (device_table[entry + 1] << 8);
    const uint16_t device_length = device_table[entry + 2] | (device_table[entry + 3] << 8);
    QV_FUZZ_CHECK(area.device_start == device_start);
    QV_FUZZ_CHECK(device_length >= qv::kAreaTailBytes);
    QV_FUZZ_CHECK(area.stored_length == device_length - qv::kAreaTailBytes);
    QV_FUZZ_CHECK(area.bytes <= area.stored_length);
    QV_FUZZ_CHECK(area.image_offset + area.bytes <= settings.image.size());
  }
  return 0;
}
