#include <gtest/gtest.h>

#include "platform/posix/device_registry_sysfs.h"
#include "shell/friendly_name.h"
#include "temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

// A fake /sys/bus/usb/devices: devices with their ids and strings, interfaces with their number
// and tty.
struct FakeSysfs {
  void Device(const std::string& name, const std::string& vendor, const std::string& product_id,
              const std::string& manufacturer, const std::string& product) {
    fs::create_directories(dir / name);
    test::WriteBytes(dir / name / "idVendor", vendor + "\n");
    test::WriteBytes(dir / name / "idProduct", product_id + "\n");
    if (!manufacturer.empty()) test::WriteBytes(dir / name / "manufacturer", manufacturer + "\n");
    if (!product.empty()) test::WriteBytes(dir / name / "product", product + "\n");
  }
  void Interface(const std::string& name, const std::string& number, const fs::path& tty) {
    fs::create_directories(dir / name / tty);
    test::WriteBytes(dir / name / "bInterfaceNumber", number + "\n");
  }
  test::TempDir dir;
};

TEST(SysfsDeviceRegistry, ListsTheDeviceInterfacesWithTheirPorts) {
  FakeSysfs sys;
  sys.Device("1-2", "04d9", "8008", "Holtek", "USB Virtual Serial");
  sys.Interface("1-2:1.0", "00", "tty/ttyACM2");
  sys.Interface("1-2:1.1", "01", "");
  sys.Device("1-1", "04d9", "8008", "Holtek", "");
  sys.Interface("1-1:1.0", "00", "ttyUSB1");
  sys.Device("2-1", "0403", "6001", "FTDI", "FT232R USB UART");
  sys.Interface("2-1:1.0", "00", "ttyUSB0");
  sys.Device("3-1", "04d9", "8008", "", "");
  sys.Interface("3-1:1.0", "00", "tty/ttyACM9");

  platform::PortTable table = platform::PortTable::PosixDefault();
  table.SetPath(10, "/dev/pts/4");  // ttyACM9 is no longer in the table
  auto registry = platform::MakeSysfsDeviceRegistry(table, sys.dir.path);

  EXPECT_EQ(registry->InstanceNames(), (std::vector<std::string>{"1-1:1.0", "1-2:1.0", "3-1:1.0"}));
  EXPECT_EQ(registry->FriendlyName("1-2:1.0"), "Holtek USB Virtual Serial (COM3)");
  EXPECT_EQ(registry->FriendlyName("1-1:1.0"), "Holtek (COM18)");
  EXPECT_EQ(registry->FriendlyName("3-1:1.0"), "") << "no strings and no port in the table";
  EXPECT_EQ(registry->FriendlyName("2-1:1.0"), std::nullopt) << "another device";
  EXPECT_EQ(registry->FriendlyName("1-2:1.1"), std::nullopt) << "another interface";
  EXPECT_EQ(PortOfFriendlyName(*registry->FriendlyName("1-2:1.0")), 3)
      << "the device search reads the names it makes";
}

// The names are made for the device search, whose port is the first "COM" in the name: a
// "COM" in the device's own strings must not come before it.
TEST(SysfsDeviceRegistry, UsbStringsNeverHoldThePortMarker) {
  FakeSysfs sys;
  sys.Device("1-3", "04d9", "8008", "Holtek COMMS", "USB Virtual COM Port");
  sys.Interface("1-3:1.0", "00", "tty/ttyACM4");
  auto registry =
      platform::MakeSysfsDeviceRegistry(platform::PortTable::PosixDefault(), sys.dir.path);
  auto name = registry->FriendlyName("1-3:1.0");
  ASSERT_TRUE(name);
  EXPECT_EQ(*name, "Holtek ComMS USB Virtual Com Port (COM5)");
  EXPECT_EQ(PortOfFriendlyName(*name), 5);
}

TEST(SysfsDeviceRegistry, NoUsbFolderListsNothing) {
  test::TempDir dir;
  auto registry =
      platform::MakeSysfsDeviceRegistry(platform::PortTable::PosixDefault(), dir / "missing");
  EXPECT_TRUE(registry->InstanceNames().empty());
}

}  // namespace
}  // namespace qv
