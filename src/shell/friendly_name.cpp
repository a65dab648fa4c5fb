#include "shell/friendly_name.h"

#include <string>

#include "common/exception.h"

namespace qv {
namespace {

constexpr std::string_view kVendorMarker = "Holtek";
constexpr std::string_view kPortMarker = "COM";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The port text as a decimal integer with an optional sign, as the integer conversion reads it.
int PortTextToInt(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) throw Exception("'" + std::string(text) + "' is not a valid integer value");
  int value = 0;
  for (char c : digits) {
    if (!IsDigit(c)) throw Exception("'" + std::string(text) + "' is not a valid integer value");
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

}  // namespace

std::optional<int> PortOfFriendlyName(std::string_view name) {
  if (name.find(kVendorMarker) == std::string_view::npos) return std::nullopt;
  size_t marker = name.find(kPortMarker);
  if (marker == std::string_view::npos) return std::nullopt;
  std::string_view rest = name.substr(marker + kPortMarker.size());
  // The first character whatever it is, the second only when it is a digit; never a third.
  size_t length = rest.empty() ? 0 : (rest.size() >= 2 && IsDigit(rest[1]) ? 2 : 1);
  return PortTextToInt(rest.substr(0, length));
}

}  // namespace qv
