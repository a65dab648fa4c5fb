#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// A reader and writer of the Windows profile ("ini") format, with the behaviour of the
// profile functions that the desktop program has always used:
// - sections "[Name]" and lines "Key=Value"; names compare without regard to ASCII letter case;
// - a write replaces the line of an existing key in place, adds a missing key after the last
//   non-blank line of its section, and appends a missing section right after the file's last
//   line, with no empty line before it; the first of duplicate sections and keys counts;
// - every write goes to disk at once, with CRLF line ends, the other lines kept as they were;
// - a value read loses blanks around it and one pair of enclosing double or single quotes;
// - integers are written in decimal and read in decimal or as "0x"/"$" hexadecimal; a missing
//   key or a value that is no integer reads as the default; booleans are written "1" and "0".
// A value that cannot be written raises Exception("Unable to write to <file>").
class TIniFile {
 public:
  // Opens the file at path; a file that does not exist reads as empty and is created by the first
  // write. A file that exists but cannot be read raises Exception.
  explicit TIniFile(std::filesystem::path path);
  virtual ~TIniFile() = default;

  const std::filesystem::path& FileName() const { return path_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t default_value) const;
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // The keys of one section in file order (empty when the section is missing).
  std::vector<std::string> ReadSectionKeys(std::string_view section) const;

  // The file's lines as parsed and written; exposed for the pure tests of the format.
  static std::vector<std::string> SplitLines(std::string_view text);

 private:
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  void Flush() const;

  std::filesystem::path path_;
  std::vector<std::string> lines_;
};

// Integer text as the ini class reads it: optional blanks, optional sign, then decimal digits or
// "0x"/"$" followed by hexadecimal digits, then optional blanks; nothing else. A value outside
// the signed 32-bit range (hexadecimal: outside 32 bits) is no integer.
std::optional<int32_t> ParseIniInteger(std::string_view text);

}  // namespace qv
