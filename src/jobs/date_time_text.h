#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

// A local calendar date and time of day, as the backup names its file by it.
struct LocalDateTime {
  int year = 0;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // dropped by DateTimeText
};

// Where a job takes the local date and time from; tests fix it.
using LocalTimeSource = std::function<LocalDateTime()>;

// The number in decimal, with a "0" in front when that text is one character long.
std::string TwoDigits(uint16_t value);

// "2026.02.03 09:05": year without leading zeros, then month, day, hour and minute in TwoDigits.
// Seconds are dropped, not rounded.
std::string DateTimeText(const LocalDateTime& value);

// The backup's file name: DateTimeText with every ".", ":" and " " replaced by "_", then ".prmz"
// ("2026_02_03_09_05.prmz").
std::string SettingsFileName(const LocalDateTime& value);

// The operating system's local date and time now.
LocalDateTime LocalNow();

}  // namespace qv
