#include <gtest/gtest.h>

#include "apps/cli/device_path.h"
#include "apps/cli/file_info.h"
#include "apps/cli/ports_listing.h"
#include "jobs/input_refused.h"
#include "jobs/settings_file.h"
#include "platform/device_registry.h"
#include "platform/fake/fake_serial.h"

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

// The device's USB entries, in the order the system lists them.
struct ListedRegistry final : platform::DeviceRegistry {
  std::vector<std::pair<std::string, std::string>> entries;  // instance, friendly name
  std::vector<std::string> InstanceNames() override {
    std::vector<std::string> names;
    for (const auto& e : entries)
      names.push_back(e.first);
    return names;
  }
  std::optional<std::string> FriendlyName(const std::string& instance) override {
    for (const auto& e : entries) {
      if (e.first == instance) return e.second;
    }
    return std::nullopt;
  }
};

struct ListPortsFixture {
  ListPortsFixture() {
    serial.AddPort(3);
    serial.AddPort(5);
    serial.AddPort(17);
  }
  platform::fake::VirtualClock clock;
  platform::fake::FakeSerialPlatform serial{clock};
  ListedRegistry registry;
};

TEST(ListPorts, NamesPresentPortsAndPicksWhatTheSearchWouldOpen) {
  ListPortsFixture f;
  f.registry.entries = {{"a", "Holtek USB-UART (COM7)"},  // a stale entry: COM7 is absent
                        {"b", "Holtek USB-UART (COM5)"},
                        {"c", "Holtek USB-UART (COM3)"}};
  PortsReport report = ListPorts(f.serial, &f.registry, f.clock);
  ASSERT_EQ(report.rows.size(), 3u);
  EXPECT_EQ(report.rows[0].friendly_name, "Holtek USB-UART (COM3)");
  EXPECT_EQ(report.rows[1].friendly_name, "Holtek USB-UART (COM5)");
  EXPECT_EQ(report.rows[2].friendly_name, "");
  EXPECT_EQ(report.rows[2].path, "fake:COM17");
  // The first listed entry whose port is present now wins, as in the main window's search.
  EXPECT_EQ(report.pick.kind, AutoPick::Kind::kPort);
  EXPECT_EQ(report.pick.number, 5);
  EXPECT_EQ(report.pick.path, "fake:COM5");
  EXPECT_FALSE(f.serial.Line(5)->is_open) << "the listing leaves the port closed";
}

TEST(ListPorts, AutoLineWhenTheSearchFindsNothingOrStops) {
  ListPortsFixture f;
  f.registry.entries = {{"a", "Other vendor (COM3)"}};
  EXPECT_EQ(ListPorts(f.serial, &f.registry, f.clock).pick.kind, AutoPick::Kind::kNone);

  // A port text that is no number stops the search with its error; the names still list.
  f.registry.entries = {{"a", "Holtek (COM5)"}, {"b", "Holtek COMPORT (COM3)"}};
  PortsReport report = ListPorts(f.serial, &f.registry, f.clock);
  EXPECT_EQ(report.rows[1].friendly_name, "Holtek (COM5)");
  EXPECT_EQ(report.pick.kind, AutoPick::Kind::kPort) << "COM5 comes first in the list";
  f.registry.entries = {{"b", "Holtek COMPORT (COM3)"}, {"a", "Holtek (COM5)"}};
  report = ListPorts(f.serial, &f.registry, f.clock);
  EXPECT_EQ(report.pick.kind, AutoPick::Kind::kError);
  EXPECT_FALSE(report.pick.reason.empty());

  EXPECT_EQ(ListPorts(f.serial, nullptr, f.clock).pick.kind, AutoPick::Kind::kUnavailable);
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
