#include <gtest/gtest.h>

#include "common/exception.h"
#include "common/ini_file.h"
#include "fake_views.h"
#include "link/link_texts.h"
#include "platform/fake/fake_serial.h"
#include "shell/device_discovery.h"
#include "shell/main_form.h"
#include "temp_dir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::WriteBytes;

// The main window's logic on fake ports, a fake registry and a fake view, with its executable
// in a temporary folder (so the ini file is there too).
struct Window {
  explicit Window(std::vector<int> ports = {1}) {
    for (int n : ports)
      platform.AddPort(n);
  }
  std::filesystem::path Ini() const { return dir / "quorvane.ini"; }
  void Show() {
    ASSERT_TRUE(form.Run([this] { form.FormShow(); }));
  }
  void Close() {
    ASSERT_TRUE(form.Run([this] { form.FormClose(); }));
  }

  test::TempDir dir;
  platform::fake::VirtualClock clock;
  platform::fake::FakeSerialPlatform platform{clock};
  platform::NullMessagePump pump;
  test::FakeMainView view;
  test::ScriptedChooser chooser;
  test::FakeRegistry registry;
  TMainForm form{{view, chooser, platform, registry, clock, pump, dir / "quorvane"}};
};

TEST(MainForm, FirstRunWithoutIniFile) {
  Window w({2, 5});
  w.Show();
  EXPECT_EQ(w.view.caption, "Quorvane Holtek  (Версия 04.05.22)");
  EXPECT_EQ(std::filesystem::current_path(), w.dir.path);
  ASSERT_NE(w.form.DeviceLink(), nullptr);
  EXPECT_EQ(w.form.DeviceLink()->PortNumber, 2) << "the lowest port present";
  EXPECT_FALSE(w.form.DeviceLink()->PortOpen) << "the start-up leaves the port closed";
  EXPECT_EQ(w.form.DeviceLink()->BaudRate, 115200u);
  EXPECT_EQ(w.view.auto_checked, false);
  EXPECT_EQ(w.view.rs232_enabled, true);
  EXPECT_EQ(ReadBytes(w.Ini()), " \r\n") << "created before it is read";

  w.Close();
  EXPECT_EQ(ReadBytes(w.Ini()),
            " \r\n[RS232]\r\nPort=2\r\n[Common]\r\nAuto=0\r\n[MainWindow]\r\n"
            "State=0\r\nLeft=200\r\nTop=150\r\nWidth=826\r\nHeight=288\r\n");
}

TEST(MainForm, AutoKeySwitchesTheSearchAndThePortButton) {
  struct Case {
    const char* value;  // null: no key
    bool auto_detect;
  };
  const Case cases[] = {
      {"1", true}, {"0", false}, {nullptr, false}, {"0x10", true}, {"yes", false}};
  for (const auto& c : cases) {
    Window w;
    std::string common = c.value ? std::string("Auto=") + c.value + "\r\n" : "";
    WriteBytes(w.Ini(), "[Common]\r\n" + common);
    w.Show();
    std::string name = c.value ? c.value : "(missing)";
    EXPECT_EQ(w.form.AutoDetect, c.auto_detect) << name;
    EXPECT_EQ(w.view.auto_checked, c.auto_detect) << name;
    EXPECT_EQ(w.view.rs232_enabled, !c.auto_detect) << name;
  }
}

TEST(MainForm, StoredPlacementIsRestored) {
  Window w;
  WriteBytes(w.Ini(), "[MainWindow]\r\nState=2\r\nLeft=-50\r\nTop=-50\r\n");
  w.Show();
  EXPECT_EQ(w.view.state, 2);
  EXPECT_EQ(w.view.sets, std::vector<std::string>{"State"}) << "maximised: Left and Top unread";
}

TEST(MainForm, ASavedPortThatIsGoneIsReplacedAtClose) {
  Window w({3});
  WriteBytes(w.Ini(), "[RS232]\r\nPort=7\r\n[Common]\r\nAuto=0\r\n");
  w.Show();
  EXPECT_EQ(w.form.DeviceLink()->PortNumber, 3);
  EXPECT_FALSE(w.form.DeviceLink()->PortOpen);
  w.Close();
  EXPECT_EQ(ReadBytes(w.Ini()),
            "[RS232]\r\nPort=3\r\n[Common]\r\nAuto=0\r\n[MainWindow]\r\n"
            "State=0\r\nLeft=200\r\nTop=150\r\nWidth=826\r\nHeight=288\r\n");
}

TEST(MainForm, ThePortChosenByHandIsClosedAndKeptAtClose) {
  Window w({1, 4});
  w.Show();
  w.chooser.pick = "COM4";
  ASSERT_TRUE(w.form.Run([&] { w.form.bRS232Click(); }));
  EXPECT_EQ(w.chooser.offered, (std::vector<std::string>{"COM1", "COM4"}));
  EXPECT_EQ(w.form.DeviceLink()->PortNumber, 4);
  EXPECT_FALSE(w.form.DeviceLink()->PortOpen);
  EXPECT_EQ(w.platform.Line(4)->opens, 1) << "reopened once by the choice, then closed";
  w.Close();
  TIniFile ini(w.Ini());
  EXPECT_EQ(ini.ReadInteger("RS232", "Port", 0), 4);
}

TEST(MainForm, TheHiddenBoxSwitchesTheSearch) {
  Window w;
  w.Show();
  w.form.cbAutoClick(true);
  EXPECT_TRUE(w.form.AutoDetect);
  EXPECT_EQ(w.view.rs232_enabled, false);
  w.Close();
  EXPECT_TRUE(TIniFile(w.Ini()).ReadBool("Common", "Auto", false));
}

TEST(MainForm, JobButtonsAreOffWhileAJobRunsAndASecondJobIsRefused) {
  Window w;
  WriteBytes(w.Ini(), "[Common]\r\nAuto=1\r\n");
  w.Show();
  int nested = 0;
  w.view.inside_message = [&] {
    if (nested++ == 0) w.form.bGetParamsClick();
  };
  ASSERT_TRUE(w.form.Run([&] { w.form.bLoadProgClick(); }));
  EXPECT_EQ(w.view.Errors(), std::vector<std::string>{kDeviceNotSeen})
      << "the click made during the job started nothing";
  EXPECT_EQ(w.view.jobs_enabled_at_message, std::vector<bool>{false});
  EXPECT_TRUE(w.view.jobs_enabled) << "enabled again after the job";
  EXPECT_EQ(w.view.rs232_enabled, false) << "automatic search still on";
  EXPECT_TRUE(w.view.dialogs.empty()) << "the job stopped before its file dialog";
}

TEST(MainForm, ASearchErrorReachesTheTopLevelBox) {
  Window w({3});
  WriteBytes(w.Ini(), "[Common]\r\nAuto=1\r\n");
  w.Show();
  w.registry.entries = {{"6&1&0&0000", "Holtek COM Port (COM3)"}};
  int opens = w.platform.Line(3)->opens;
  EXPECT_FALSE(w.form.Run([&] { w.form.bLoadProgClick(); }));
  ASSERT_EQ(w.view.app_errors.size(), 1u);
  EXPECT_EQ(w.view.app_errors[0].first, "quorvane");
  EXPECT_EQ(w.view.app_errors[0].second, "' ' is not a valid integer value.");
  EXPECT_EQ(w.view.memo, std::vector<std::string>{"6&1&0&0000"}) << "the Memo shows the list";
  EXPECT_EQ(w.platform.Line(3)->opens, opens) << "nothing opened";
  EXPECT_TRUE(w.view.jobs_enabled);
}

TEST(MainForm, AStartUpErrorIsReportedAndTheWindowCarriesOn) {
  Window w;
  std::filesystem::remove_all(w.dir.path);  // the program's folder has gone
  EXPECT_FALSE(w.form.Run([&] { w.form.FormShow(); }));
  ASSERT_EQ(w.view.app_errors.size(), 1u);
  EXPECT_EQ(w.view.app_errors[0],
            std::make_pair(std::string("quorvane"), std::string("File not found.")));
  EXPECT_EQ(w.view.auto_checked, std::nullopt) << "the steps after the error are not run";
  EXPECT_EQ(w.form.DeviceLink(), nullptr);
  ASSERT_TRUE(w.form.Run([&] { w.form.bLoadProgClick(); }));
  EXPECT_NE(w.form.DeviceLink(), nullptr) << "a job makes the link it needs";
  ASSERT_EQ(w.view.dialogs.size(), 1u);
  EXPECT_EQ(w.view.dialogs[0].filter, "Файлы прошивок (*.rom)|*.rom");
}

}  // namespace
}  // namespace qv
