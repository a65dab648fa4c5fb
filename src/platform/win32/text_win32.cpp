#include "platform/win32/text_win32.h"

#include "platform/win32/windows_api.h"

namespace qv::platform::win32 {

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  int size = static_cast<int>(text.size());
  int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), n);
  return wide;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  int size = static_cast<int>(text.size());
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

}  // namespace qv::platform::win32
