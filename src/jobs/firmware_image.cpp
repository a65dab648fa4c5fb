#include "jobs/firmware_image.h"

#include "jobs/input_refused.h"
#include "jobs/job_texts.h"

namespace qv {

FirmwareImage ParseFirmwareImage(std::vector<uint8_t> bytes) {
  if (bytes.size() < FirmwareImage::kTrailerBytes) throw InputRefused(texts::kFirmwareFileDamaged);
  FirmwareImage image;
  const uint8_t* t = bytes.data() + bytes.size() - FirmwareImage::kTrailerBytes;
  image.McuType = t[0];
  image.ImageVersion = static_cast<uint16_t>(t[1] | t[2] << 8);
  image.LoadAddress = static_cast<uint32_t>(t[3]) | static_cast<uint32_t>(t[4]) << 8 |
                      static_cast<uint32_t>(t[5]) << 16 | static_cast<uint32_t>(t[6]) << 24;
  image.bytes = std::move(bytes);
  return image;
}

}  // namespace qv
