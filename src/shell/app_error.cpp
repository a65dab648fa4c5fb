#include "shell/app_error.h"

#include <cstdint>

namespace qv {
namespace {

// Lower-cases one UTF-8 letter in place: ASCII and the Cyrillic capitals (А..Я, Ѐ..Џ), the
// letters an executable's name can carry on the machines this program runs on.
size_t LowerCharAt(std::string& s, size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    if (c >= 'A' && c <= 'Z') s[i] = static_cast<char>(c + ('a' - 'A'));
    return 1;
  }
  size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (length == 2 && i + 1 < s.size()) {
    uint32_t code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
    uint32_t lower = code;
    if (code >= 0x410 && code <= 0x42F) lower = code + 0x20;
    if (code >= 0x400 && code <= 0x40F) lower = code + 0x50;
    s[i] = static_cast<char>(0xC0 | (lower >> 6));
    s[i + 1] = static_cast<char>(0x80 | (lower & 0x3F));
  }
  return length;
}

}  // namespace

std::string ApplicationTitle(const std::filesystem::path& executable) {
  // As UTF-8 on every system (string() would give the Windows code page there).
  std::u8string utf8 = executable.filename().u8string();
  std::string name(utf8.begin(), utf8.end());
  name = name.substr(0, name.find('.'));
  if (name.empty()) return name;
  auto first = static_cast<unsigned char>(name[0]);
  size_t i = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  while (i < name.size())
    i += LowerCharAt(name, i);
  return name;
}

std::string TopLevelErrorText(std::string_view message) {
  std::string text(message);
  // Compared as bytes: every byte of a non-ASCII UTF-8 character sorts above ".".
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

}  // namespace qv
