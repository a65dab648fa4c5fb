#pragma once

#include <string>

#include "sim/device_model.h"

namespace qv::devsim {

// Reads a raw settings memory image; it must be exactly 4096 bytes.
bool ReadSettingsImage(const std::string& path, sim::DeviceModel::Settings& out,
                       std::string& error);

// Writes the image to a temporary file beside `path` and renames it over `path`, so a reader
// never sees a partial image.
bool WriteSettingsImage(const std::string& path, const sim::DeviceModel::Settings& image,
                        std::string& error);

}  // namespace qv::devsim
