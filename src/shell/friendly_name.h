#pragma once

#include <optional>
#include <string_view>

namespace qv {

// The port number that a USB entry's friendly name names, as the device search reads it:
// - nothing when the name lacks the vendor marker "Holtek" or the port marker "COM" (both
//   case-sensitive): the entry is passed over;
// - else the port text, the first character after the first "COM" whatever it is, followed by
//   the second when that is a decimal digit, converted to a decimal integer.
// A port text that is no number raises Exception("'<text>' is not a valid integer value").
// The number is returned as read; the caller decides what to do with 0 or more than 32.
std::optional<int> PortOfFriendlyName(std::string_view friendly_name);

}  // namespace qv
