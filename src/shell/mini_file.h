#pragma once

#include <filesystem>

#include "common/ini_file.h"

namespace qv {

class TFormPlacement;

// The program's own ini file: the executable's path with the extension ".ini".
class TMIniFile : public TIniFile {
 public:
  // Creates the file holding one blank line (20 0D 0A) when it is missing, then opens it.
  // A failure to create it raises Exception with the system's reason.
  explicit TMIniFile(const std::filesystem::path& executable);

  // The ini path that belongs to an executable.
  static std::filesystem::path PathFor(const std::filesystem::path& executable);

  // Restores State, then (unless maximised) Left and Top, then for sizeable forms Width and
  // Height, each defaulting to the form's current value. Negative Left and Top become 0,
  // negative Width and Height 100.
  void ReadWindowPlacement(const std::string& section, TFormPlacement& form);
  // Writes State, Left, Top, Width and Height, in this order, always all five.
  void WriteWindowPlacement(const std::string& section, const TFormPlacement& form);
};

}  // namespace qv
