#include "common/ini_file.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

#include "common/exception.h"

namespace qv {
namespace {

// A path as the UTF-8 text of the messages, on every system.
std::string Utf8(const std::filesystem::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The section name of a header line "[Name]", or nothing when the line is no header.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  size_t close = line.find(']');
  std::string_view name =
      line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1);
  return Trim(name);
}

// The key and value of a line "Key=Value", or nothing when the line has no "=".
std::optional<std::pair<std::string_view, std::string_view>> EntryOf(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return std::make_pair(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
}

// A value enclosed in a pair of double or single quotes reads without them.
std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

struct SectionSpan {
  size_t header;     // index of the header line
  size_t last_used;  // index of the last non-blank line of the section (the header if none)
};

std::optional<SectionSpan> FindSection(const std::vector<std::string>& lines,
                                       std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionOf(lines[i]);
    if (!name || !EqualNoCase(*name, section)) continue;
    SectionSpan span{i, i};
    for (size_t j = i + 1; j < lines.size() && !SectionOf(lines[j]); ++j) {
      if (!Trim(lines[j]).empty()) span.last_used = j;
    }
    return span;
  }
  return std::nullopt;
}

std::optional<size_t> FindKeyLine(const std::vector<std::string>& lines, const SectionSpan& span,
                                  std::string_view key) {
  for (size_t j = span.header + 1; j <= span.last_used; ++j) {
    auto entry = EntryOf(lines[j]);
    if (entry && EqualNoCase(entry->first, key)) return j;
  }
  return std::nullopt;
}

}  // namespace

std::optional<int32_t> ParseIniInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  if (base == 16) {
    // Hexadecimal text gives the 32-bit pattern, as the platform's conversion does: 0xFFFFFFFF is
    // -1.
    auto pattern = static_cast<uint32_t>(value);
    int32_t v = static_cast<int32_t>(pattern);
    return negative ? static_cast<int32_t>(0u - pattern) : v;
  }
  if (negative) {
    if (value > 0x80000000ull) return std::nullopt;
    return static_cast<int32_t>(-static_cast<int64_t>(value));
  }
  if (value > 0x7FFFFFFFull) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::vector<std::string> TIniFile::SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

TIniFile::TIniFile(std::filesystem::path path) : path_(std::move(path)) {
  std::error_code ec;
  if (!std::filesystem::exists(path_, ec)) return;
  std::ifstream in(path_, std::ios::binary);
  if (!in) throw Exception("Cannot open file \"" + Utf8(path_) + "\"");
  std::ostringstream text;
  text << in.rdbuf();
  lines_ = SplitLines(text.str());
}

std::optional<std::string> TIniFile::Find(std::string_view section, std::string_view key) const {
  auto span = FindSection(lines_, section);
  if (!span) return std::nullopt;
  auto line = FindKeyLine(lines_, *span, key);
  if (!line) return std::nullopt;
  return std::string(Unquoted(EntryOf(lines_[*line])->second));
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view default_value) const {
  auto value = Find(section, key);
  return value ? *value : std::string(default_value);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t default_value) const {
  auto value = Find(section, key);
  if (!value) return default_value;
  return ParseIniInteger(*value).value_or(default_value);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

std::vector<std::string> TIniFile::ReadSectionKeys(std::string_view section) const {
  std::vector<std::string> keys;
  auto span = FindSection(lines_, section);
  if (!span) return keys;
  for (size_t j = span->header + 1; j <= span->last_used; ++j) {
    if (auto entry = EntryOf(lines_[j])) keys.emplace_back(entry->first);
  }
  return keys;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::vector<std::string> before = lines_;
  std::string entry = std::string(key) + "=" + std::string(value);
  if (auto span = FindSection(lines_, section)) {
    if (auto line = FindKeyLine(lines_, *span, key)) {
      // The line is rewritten with the key as the file spells it.
      lines_[*line] = std::string(EntryOf(lines_[*line])->first) + "=" + std::string(value);
    } else {
      lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(span->last_used + 1), entry);
    }
  } else {
    // A new section goes at the end, right after the last line, with no empty line between.
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(entry);
  }
  try {
    Flush();
  } catch (...) {
    lines_ = std::move(before);
    throw;
  }
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::Flush() const {
  std::string text;
  for (const auto& line : lines_) {
    text += line;
    text += "\r\n";
  }
  // Written to a temporary file beside the target and renamed over it, so a failure in the
  // middle never leaves a truncated ini file behind.
  std::filesystem::path temp = path_;
  temp += ".tmp";
  std::error_code ec;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) ec = std::make_error_code(std::errc::io_error);
  }
  if (!ec) std::filesystem::rename(temp, path_, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw Exception("Unable to write to " + Utf8(path_), ec);
  }
}

}  // namespace qv
