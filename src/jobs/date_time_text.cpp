#include "jobs/date_time_text.h"

#include <ctime>

namespace qv {

std::string TwoDigits(uint16_t value) {
  std::string text = std::to_string(value);
  return text.size() == 1 ? "0" + text : text;
}

std::string DateTimeText(const LocalDateTime& value) {
  auto two = [](int v) { return TwoDigits(static_cast<uint16_t>(v)); };
  return std::to_string(value.year) + "." + two(value.month) + "." + two(value.day) + " " +
         two(value.hour) + ":" + two(value.minute);
}

std::string SettingsFileName(const LocalDateTime& value) {
  std::string name = DateTimeText(value);
  for (char& c : name) {
    if (c == '.' || c == ':' || c == ' ') c = '_';
  }
  return name + ".prmz";
}

LocalDateTime LocalNow() {
  std::time_t now = std::time(nullptr);
  // Everything runs on the one user-interface thread, so the shared result of localtime is safe.
  const std::tm* tm = std::localtime(&now);
  LocalDateTime out;
  if (!tm) return out;
  out.year = tm->tm_year + 1900;
  out.month = tm->tm_mon + 1;
  out.day = tm->tm_mday;
  out.hour = tm->tm_hour;
  out.minute = tm->tm_min;
  out.second = tm->tm_sec;
  return out;
}

}  // namespace qv
