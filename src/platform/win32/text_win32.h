#pragma once

#include <string>
#include <string_view>

namespace qv::platform::win32 {

// The program keeps its texts in UTF-8; the W functions of the Windows API take UTF-16.
// Invalid sequences become U+FFFD rather than failing, so a text always reaches the screen.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace qv::platform::win32
