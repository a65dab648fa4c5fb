#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/ini_file.h"
#include "link/link_texts.h"
#include "support/link_fixture.h"

namespace qv {
namespace {

class IniOnDisk {
 public:
  IniOnDisk() {
    path_ = std::filesystem::temp_directory_path() /
            ("qv-port-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
    std::filesystem::remove(path_);
  }
  ~IniOnDisk() { std::filesystem::remove(path_); }
  TIniFile Open() { return TIniFile(path_); }

 private:
  std::filesystem::path path_;
};

TEST(PortManager, ScanFindsPresentPortsAndPicksTheLowest) {
  test::LinkFixture f({3, 5});
  EXPECT_EQ(f.link->PortCount, 2);
  EXPECT_EQ(f.link->FirstFreePort(), 3);
  EXPECT_EQ(f.link->PortNumber, 3);
  EXPECT_FALSE(f.link->PortOpen) << "construction leaves the port closed";
  EXPECT_TRUE(f.messages.shown.empty());
  EXPECT_EQ(f.link->SectionName, "RS232");
  EXPECT_EQ(f.link->BaudRate, 115200u);
  EXPECT_EQ(f.link->StopBits, 2);
}

TEST(PortManager, PortHeldByAnotherProgramCountsAsAbsent) {
  test::LinkFixture f({3, 5});
  f.Line(3).held_elsewhere = true;
  f.link->ScanPorts();
  EXPECT_FALSE(f.link->PortPresent[3]);
  EXPECT_EQ(f.link->FirstFreePort(), 5);
}

TEST(PortManager, LoadSettingsOpensTheSavedPortOrFallsBack) {
  IniOnDisk disk;
  {
    test::LinkFixture f({3, 5});
    TIniFile ini = disk.Open();
    ini.WriteInteger("RS232", "Port", 5);
    f.link->LoadSettings(ini);
    EXPECT_EQ(f.link->PortNumber, 5);
    EXPECT_TRUE(f.link->PortOpen);
    EXPECT_TRUE(f.Line(5).is_open);
  }
  {
    test::LinkFixture f({3, 5});
    TIniFile ini = disk.Open();
    ini.WriteInteger("RS232", "Port", 7);
    f.link->LoadSettings(ini);
    EXPECT_EQ(f.link->PortNumber, 3);
    EXPECT_FALSE(f.link->PortOpen) << "COM7's own open fails";
    EXPECT_FALSE(f.Line(3).is_open);
    f.link->SetActive(true);
    EXPECT_TRUE(f.Line(3).is_open);
    f.link->SaveSettings(ini);
    EXPECT_EQ(disk.Open().ReadInteger("RS232", "Port", 0), 3);
    EXPECT_TRUE(f.messages.shown.empty());
  }
}

TEST(PortManager, NoPortAtAllShowsTheMessageOnce) {
  IniOnDisk disk;
  test::LinkFixture f(std::vector<int>{});
  EXPECT_EQ(f.messages.Errors(), (std::vector<std::string>{texts::kNoFreePort}));
  EXPECT_EQ(f.link->PortNumber, 0);
  TIniFile ini = disk.Open();
  f.link->LoadSettings(ini);  // no key: default 0, OpenPort(0) does nothing
  EXPECT_EQ(f.messages.Errors().size(), 1u);
  f.link->OpenPort(4);
  EXPECT_EQ(f.messages.Errors().size(), 2u) << "asking for a port when none exists";
}

TEST(PortManager, OpenPortOfZeroOrBelowDoesNothing) {
  test::LinkFixture f({3});
  for (int n : {0, -1}) {
    f.link->OpenPort(n);
    EXPECT_EQ(f.link->PortNumber, 3);
    EXPECT_FALSE(f.link->PortOpen);
  }
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST(PortManager, PortNumbersAbove32AreAbsent) {
  test::LinkFixture f({3});
  f.link->OpenPort(40);
  EXPECT_EQ(f.link->PortNumber, 3);
  EXPECT_FALSE(f.link->PortOpen);
}

TEST(PortManager, OpenAppliesLineSettingsAndReopensAfresh) {
  test::LinkFixture f({2});
  f.link->SetActive(true);
  f.link->SetActive(true);
  auto& line = f.Line(2);
  EXPECT_EQ(line.opens, 2);
  EXPECT_EQ(line.closes, 1) << "one port held at a time";
  EXPECT_EQ(line.rx_purges, 2);
  EXPECT_EQ(line.dtr_raised, 2);
  EXPECT_TRUE(line.immediate_timeouts);
  EXPECT_EQ(line.rx_queue, 1048576u);
  EXPECT_EQ(line.settings.baud_rate, 115200u);
  EXPECT_EQ(line.settings.data_bits, 8);
  EXPECT_EQ(line.settings.stop_bits, 2);
  f.link->SetActive(false);
  EXPECT_FALSE(line.is_open);
  EXPECT_EQ(f.link->PortNumber, 2) << "the number survives a close";
}

TEST(PortManager, BaudRateIsReadBack) {
  test::LinkFixture f({2});
  f.link->SetBaudRate(115200);
  EXPECT_EQ(f.link->BaudRate, 115200u) << "closed port keeps the asked rate";
  f.Line(2).driver_baud = 57600;
  f.link->SetActive(true);
  EXPECT_EQ(f.link->BaudRate, 57600u);
  f.link->SetBaudRate(115200);
  EXPECT_EQ(f.link->BaudRate, 57600u) << "the rate the driver really took";
}

}  // namespace
}  // namespace qv
