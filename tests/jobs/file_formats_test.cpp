#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "jobs/date_time_text.h"
#include "jobs/firmware_image.h"
#include "jobs/input_refused.h"
#include "jobs/job_texts.h"
#include "jobs/settings_file.h"
#include "jobs/settings_key.h"

namespace qv {
namespace {

std::vector<uint8_t> Rom(size_t image_bytes, std::vector<uint8_t> trailer) {
  std::vector<uint8_t> bytes(image_bytes, 0xAB);
  bytes.insert(bytes.end(), trailer.begin(), trailer.end());
  return bytes;
}

TEST(FirmwareImageFile, TrailerComesFromTheLastSevenBytesWhateverTheLength) {
  struct Case {
    size_t image_bytes;
    size_t pages;
  };
  const std::vector<uint8_t> trailer = {0x21, 0x05, 0x04, 0x00, 0x40, 0x00, 0x08};
  for (Case c :
       {Case{0, 0}, Case{1016, 0}, Case{1017, 1}, Case{3 * 1024, 3}, Case{2 * 1024 + 500, 2}}) {
    FirmwareImage image = ParseFirmwareImage(Rom(c.image_bytes, trailer));
    EXPECT_EQ(image.McuType, 0x21) << c.image_bytes;
    EXPECT_EQ(image.ImageVersion, 0x0405) << c.image_bytes;
    EXPECT_EQ(image.LoadAddress, 0x08004000u) << c.image_bytes;
    EXPECT_EQ(image.PageCount(), c.pages) << c.image_bytes;
    EXPECT_EQ(image.bytes.size(), c.image_bytes + 7);
  }
}

TEST(FirmwareImageFile, PageAddressesUse32BitArithmetic) {
  FirmwareImage image = ParseFirmwareImage(Rom(2 * 1024, {1, 2, 3, 0x00, 0xFC, 0xFF, 0xFF}));
  EXPECT_EQ(image.PageAddress(0), 0xFFFFFC00u);
  EXPECT_EQ(image.PageAddress(1), 0x00000000u);
}

TEST(FirmwareImageFile, FileShorterThanItsTrailerIsRefused) {
  for (size_t size : {0u, 1u, 6u}) {
    try {
      ParseFirmwareImage(std::vector<uint8_t>(size, 0));
      ADD_FAILURE() << size << " bytes accepted";
    } catch (const InputRefused& e) {
      EXPECT_STREQ(e.what(), texts::kFirmwareFileDamaged);
    }
  }
}

TEST(SettingsFileFormat, VersionWordThenImageXorKey) {
  std::vector<uint8_t> image(kSettingsImageBytes);
  for (size_t j = 0; j < image.size(); ++j)
    image[j] = static_cast<uint8_t>(j * 31 + 7);
  std::vector<uint8_t> file = EncodeSettingsFile(0x0405, image);
  ASSERT_EQ(file.size(), kSettingsFileBytes);
  EXPECT_EQ(file[0], 0x05);
  EXPECT_EQ(file[1], 0x04);
  for (size_t j = 0; j < image.size(); ++j) {
    ASSERT_EQ(file[2 + j], image[j] ^ SettingsKey[j]) << j;
  }
  SettingsFile back = DecodeSettingsFile(file);
  EXPECT_EQ(back.version, 0x0405);
  EXPECT_EQ(back.image, image);
}

TEST(SettingsFileFormat, KeyRepeatsEvery4096BytesOfALongerFile) {
  std::vector<uint8_t> image(4100, 0);
  std::vector<uint8_t> file = EncodeSettingsFile(1, image);
  EXPECT_EQ(file[2 + 4096], SettingsKey[0]);
  EXPECT_EQ(file[2 + 4099], SettingsKey[3]);
  EXPECT_EQ(DecodeSettingsFile(file).image, image);
}

TEST(SettingsFileFormat, FileShorterThanVersionAndFatIsRefused) {
  for (size_t size : {0u, 1u, 2u, 61u}) {
    EXPECT_THROW(DecodeSettingsFile(std::vector<uint8_t>(size, 0)), InputRefused) << size;
  }
  EXPECT_EQ(DecodeSettingsFile(std::vector<uint8_t>(62, 0)).image.size(), 60u);
}

TEST(SettingsFileFormat, AreaEntryLiesAtFourTimesItsNumber) {
  std::vector<uint8_t> table = {3, 5, 0, 0, 0x40, 0x01, 0x28, 0x00, 0xFF, 0xFF, 0x04, 0x00};
  auto e1 = ReadAreaEntry(table.data(), table.size(), 1);
  ASSERT_TRUE(e1);
  EXPECT_EQ(e1->Start, 0x0140);
  EXPECT_EQ(e1->Length, 40);
  auto e2 = ReadAreaEntry(table.data(), table.size(), 2);
  ASSERT_TRUE(e2);
  EXPECT_EQ(e2->Start, 0xFFFF);
  EXPECT_FALSE(ReadAreaEntry(table.data(), table.size(), 3));
}

TEST(DateTimeTextRule, TextAndFileName) {
  struct Case {
    LocalDateTime at;
    const char* text;
    const char* file;
  };
  const Case cases[] = {
      {{2026, 2, 3, 9, 5, 0}, "2026.02.03 09:05", "2026_02_03_09_05.prmz"},
      {{2027, 1, 1, 0, 0, 0}, "2027.01.01 00:00", "2027_01_01_00_00.prmz"},
      {{2026, 12, 31, 13, 17, 59}, "2026.12.31 13:17", "2026_12_31_13_17.prmz"},
      {{987, 10, 10, 23, 59, 0}, "987.10.10 23:59", "987_10_10_23_59.prmz"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DateTimeText(c.at), c.text);
    EXPECT_EQ(SettingsFileName(c.at), c.file);
  }
  EXPECT_EQ(TwoDigits(7), "07");
  EXPECT_EQ(TwoDigits(123), "123");
}

}  // namespace
}  // namespace qv
