#pragma once

#include <string>

namespace qv {

class TIniFile;

// The root of every device class: the name of its ini section and the two settings hooks through
// which the main window lets the link load and save its own settings.
class TKVBaseDevice {
 public:
  TKVBaseDevice() = default;
  TKVBaseDevice(const TKVBaseDevice&) = delete;
  TKVBaseDevice& operator=(const TKVBaseDevice&) = delete;
  virtual ~TKVBaseDevice() = default;

  virtual void LoadSettings(TIniFile& ini);
  virtual void SaveSettings(TIniFile& ini);

  std::string SectionName;
};

}  // namespace qv
