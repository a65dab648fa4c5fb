#include <gtest/gtest.h>

#include "apps/cli/device_path.h"
#include "apps/cli/file_info.h"
#include "apps/cli/ports_listing.h"
#include "jobs/input_refused.h"
#include "jobs/settings_file.h"

namespace qv::cli {
namespace {

TEST(DevicePathFromArgument, BarePortNamesGetTheDevicePrefixOnWindowsOnly) {
  struct Case {
    std::string argument;
    PathStyle style;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"/dev/ttyACM0", PathStyle::kPosix, "/dev/ttyACM0"},
      {"COM5", PathStyle::kPosix, "COM5"},
      {"COM5", PathStyle::kWindows, "\\\\.\\COM5"},
      {"com12", PathStyle::kWindows, "\\\\.\\COM12"},
      {"\\\\.\\COM5", PathStyle::kWindows, "\\\\.\\COM5"},
      {"COM05", PathStyle::kWindows, "COM05"},
      {"COM", PathStyle::kWindows, "COM"},
      {"COMX", PathStyle::kWindows, "COMX"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    EXPECT_EQ(DevicePathFromArgument(c.argument, c.style), c.path);
  }
}

TEST(FormatPortsListing, OneTabSeparatedLinePerPortThenTheAutoLine) {
  std::vector<PortRow> rows = {{1, "/dev/ttyACM0", "Holtek USB-UART (COM1)"},
                               {17, "/dev/ttyUSB0", ""},
                               {3, "/dev/pts/4", "odd\tname\n"}};
  AutoPick pick{AutoPick::Kind::kPort, 1, "/dev/ttyACM0", {}};
  EXPECT_EQ(FormatPortsListing(rows, pick),
            "COM1\t/dev/ttyACM0\tHoltek USB-UART (COM1)\n"
            "COM17\t/dev/ttyUSB0\t-\n"
            "COM3\t/dev/pts/4\todd name \n"
            "auto\tCOM1\t/dev/ttyACM0\n");
}

TEST(FormatPortsListing, AutoLineWithoutAPort) {
  struct Case {
    AutoPick pick;
    std::string line;
  };
  const std::vector<Case> cases = {
      {{AutoPick::Kind::kNone, 0, {}, {}}, "auto\tnone\n"},
      {{AutoPick::Kind::kUnavailable, 0, {}, {}}, "auto\tunavailable\n"},
      {{AutoPick::Kind::kError, 0, {}, "'x' is not a valid integer value"},
       "auto\terror\t'x' is not a valid integer value\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatPortsListing({}, c.pick), c.line);
}

TEST(KindOfFile, ByExtensionInAnyCase) {
  EXPECT_EQ(KindOfFile("fw.rom"), FileKind::kFirmware);
  EXPECT_EQ(KindOfFile("dir.x/FW.ROM"), FileKind::kFirmware);
  EXPECT_EQ(KindOfFile("2026_02_03_09_05.prmz"), FileKind::kSettings);
  EXPECT_EQ(KindOfFile("s.PrMz"), FileKind::kSettings);
  EXPECT_EQ(KindOfFile("notes.txt"), FileKind::kUnknown);
  EXPECT_EQ(KindOfFile("rom"), FileKind::kUnknown);
}

TEST(DescribeFirmwareFile, TrailerFieldsAndWholePages) {
  // Three pages and a trailer: type 0x21, version 0x0405, load address 0x00012000.
  std::vector<uint8_t> rom(3 * 1024, 0xAB);
  for (uint8_t b : {0x21, 0x05, 0x04, 0x00, 0x20, 0x01, 0x00})
    rom.push_back(b);
  EXPECT_EQ(DescribeFirmwareFile(rom),
            "type=0x21 version=0x0405 load_address=0x00012000 pages=3 size=3079\n");
  // Only the trailer: no page at all.
  std::vector<uint8_t> tiny(rom.end() - 7, rom.end());
  EXPECT_EQ(DescribeFirmwareFile(tiny),
            "type=0x21 version=0x0405 load_address=0x00012000 pages=0 size=7\n");
  EXPECT_THROW(DescribeFirmwareFile({1, 2, 3, 4, 5, 6}), InputRefused);
}

TEST(DescribeSettingsFile, VersionWordFatHeadAndAreas) {
  std::vector<uint8_t> image(kSettingsImageBytes, 0);
  image[0] = 2;     // Count
  image[1] = 0x12;  // firmware version byte
  image[4] = 0x40;  // area 1: start 0x0040, length 40
  image[6] = 40;
  image[8] = 0x00;  // area 2: start 0x0100, length 300
  image[9] = 0x01;
  image[10] = 0x2C;
  image[11] = 0x01;
  auto file = EncodeSettingsFile(0x0405, image);
  EXPECT_EQ(DescribeSettingsFile(file),
            "version=0x0405 size=4066 count=2 firmware=0x12\n"
            "area=1 start=0x0040 length=40\n"
            "area=2 start=0x0100 length=300\n");
  std::vector<uint8_t> short_file(file.begin(), file.begin() + 61);
  EXPECT_THROW(DescribeSettingsFile(short_file), InputRefused);
}

}  // namespace
}  // namespace qv::cli
