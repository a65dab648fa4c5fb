#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qv {

// The application's title, the caption of its top-level error box: the executable's file name
// without folder, cut at its first ".", every letter after the first in lower case
// ("QUORVANE.EXE" gives "Quorvane").
std::string ApplicationTitle(const std::filesystem::path& executable);

// The text of the top-level error box: the message, with "." appended when its last character
// sorts above "." (a text ending in a letter or a digit gets a full stop; one ending in ".",
// ")" or "!" does not).
std::string TopLevelErrorText(std::string_view message);

}  // namespace qv
