#include <gtest/gtest.h>

#include <cstdint>

#include "jobs/settings_key.h"

namespace qv {
namespace {

// The generator the table was made from: splitmix64 from the seed "QUORVANE", eight bytes of
// each output word, low byte first. The program never runs it; this test proves that the table
// built into the program is exactly its output.
TEST(SettingsKeyTable, IsTheSplitmix64SequenceOfItsSeed) {
  uint64_t state = 0x51554F5256414E45ull;
  for (size_t i = 0; i < kSettingsKeySize; i += 8) {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    for (size_t k = 0; k < 8; ++k) {
      ASSERT_EQ(SettingsKey[i + k], static_cast<uint8_t>(z >> (8 * k))) << i + k;
    }
  }
}

// Pinned values: files already written depend on them, so they can never change.
TEST(SettingsKeyTable, PinnedBytes) {
  EXPECT_EQ(SettingsKey[0], 0x3F);
  EXPECT_EQ(SettingsKey[1], 0x6D);
  EXPECT_EQ(SettingsKey[2], 0x5D);
  EXPECT_EQ(SettingsKey[3], 0xE3);
  EXPECT_EQ(SettingsKey[16], 0xB1);
  EXPECT_EQ(SettingsKey[4088], 0x5D);
  EXPECT_EQ(SettingsKey[4095], 0x0B);
}

}  // namespace
}  // namespace qv
