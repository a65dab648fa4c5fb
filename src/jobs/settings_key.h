#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qv {

inline constexpr size_t kSettingsKeySize = 4096;

// The fixed table that scrambles the settings image in a settings file: file byte 2 + j is image
// byte j XOR SettingsKey[j mod 4096]. Writing and reading use the same table, so it must never
// change: files written by any version have to restore in every later one.
extern const std::array<uint8_t, kSettingsKeySize> SettingsKey;

}  // namespace qv
