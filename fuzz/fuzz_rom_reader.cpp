// A firmware image file as the user may pick it: any bytes. The reader must refuse a file too
// short for its trailer and, for every other file, give the trailer of the last 7 bytes and only
// whole pages that lie inside the file.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "jobs/firmware_image.h"
#include "jobs/input_refused.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  qv::FirmwareImage image;
  try {
    image = qv::ParseFirmwareImage(bytes);
  } catch (const qv::InputRefused&) {
    QV_FUZZ_CHECK(size < qv::FirmwareImage::kTrailerBytes);
    return 0;
  }
  QV_FUZZ_CHECK(size >= qv::FirmwareImage::kTrailerBytes);
  QV_FUZZ_CHECK(image.bytes == bytes);

  const uint8_t* trailer = data + size - qv::FirmwareImage::kTrailerBytes;
  QV_FUZZ_CHECK(image.McuType == trailer[0]);
  QV_FUZZ_CHECK(image.ImageVersion == (trailer[1] | (trailer[2] << 8)));
  const uint32_t load =
      static_cast<uint32_t>(trailer[3]) | (static_cast<uint32_t>(trailer[4]) << 8) |
      (static_cast<uint32_t>(trailer[5]) << 16) | (static_cast<uint32_t>(trailer[6]) << 24);
  QV_FUZZ_CHECK(image.LoadAddress == load);

  QV_FUZZ_CHECK(image.PageCount() * qv::FirmwareImage::kPageBytes <= size);
  QV_FUZZ_CHECK((image.PageCount() + 1) * qv::FirmwareImage::kPageBytes > size);
  for (size_t p = 0; p < image.PageCount(); ++p) {
    const uint8_t* page = image.Page(p);
    QV_FUZZ_CHECK(page >= image.bytes.data());
    QV_FUZZ_CHECK(page + qv::FirmwareImage::kPageBytes <= image.bytes.data() + image.bytes.size());
    QV_FUZZ_CHECK(image.PageAddress(p) == static_cast<uint32_t>(load + p * 1024));
  }
  return 0;
}
