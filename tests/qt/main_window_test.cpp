#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "common/ini_file.h"
#include "jobs/job_texts.h"
#include "platform/device_registry.h"
#include "port/port_chooser.h"
#include "qt_gauge.h"
#include "qt_main_window.h"
#include "qt_message_pump.h"
#include "qt_port_chooser.h"
#include "qt_progress_dialog.h"
#include "shell/progress_form.h"
#include "sim/in_process_device.h"

// The sanitizer's leak check at exit: fontconfig keeps caches that it never frees. They are the
// system's, not this program's.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace qv {
namespace {

struct NoDevices : platform::DeviceRegistry {
  std::vector<std::string> InstanceNames() override { return {}; }
  std::optional<std::string> FriendlyName(const std::string&) override { return std::nullopt; }
};

std::filesystem::path MakeTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qv-qt-XXXXXX").string();
  return mkdtemp(pattern.data());
}

QApplication& App() {
  static int argc = 1;
  static char name[] = "qt_view_tests";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Never destroyed: a QApplication torn down among the program's static destructors would
  // outlive parts of Qt it still needs.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// The desktop program's window on the in-process simulated device, its executable in a
// temporary folder, its message boxes answered (and recorded) by the test.
struct Desktop {
  Desktop() {
    window.SetMessageHook([this](const qt::QtMainWindow::MessageBox& box) {
      boxes.push_back(box);
      return Messages::kYes;
    });
    window.Attach(form);
  }
  ~Desktop() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  template <typename T>
  T* Find(const char* name) {
    return window.findChild<T*>(name);
  }

  QApplication& app = App();
  std::filesystem::path dir = MakeTempDir();
  sim::InProcessDevice device;
  qt::QtMessagePump pump;
  NoDevices registry;
  qt::QtMainWindow window;
  struct NoChooser : TKV_RS232_SetNumDlg {
    bool ShowModal(const std::vector<std::string>&, int&) override { return false; }
  } chooser;
  TMainForm form{
      {window, chooser, device.Platform(), registry, device.clock, pump, dir / "quorvane"}};
  std::vector<qt::QtMainWindow::MessageBox> boxes;
};

TEST(QtMainWindow, ShowsTheDesignLayout) {
  Desktop d;
  d.window.show();
  EXPECT_EQ(d.window.windowTitle().toStdString(), "Quorvane Holtek  (Версия 04.05.22)");
  EXPECT_EQ(d.window.size(), QSize(810, 249));
  EXPECT_EQ(d.window.minimumSize(), d.window.maximumSize()) << "not resizable";
  struct Control {
    const char* name;
    QRect bounds;
    bool visible;
  };
  const Control controls[] = {
      {"cbAuto", {8, 8, 265, 17}, false},       {"bRS232", {8, 32, 393, 25}, true},
      {"GroupBox1", {8, 72, 393, 121}, true},   {"bGetParams", {8, 80, 377, 25}, true},
      {"GroupBox2", {408, 8, 393, 89}, true},   {"bLoadProg", {8, 48, 377, 25}, true},
      {"GroupBox4", {408, 112, 393, 81}, true}, {"bSetParams", {8, 40, 377, 25}, true},
      {"Memo", {552, 176, 57, 17}, false},      {"Image1", {560, 200, 240, 40}, true},
  };
  for (const auto& c : controls) {
    QWidget* widget = d.Find<QWidget>(c.name);
    ASSERT_NE(widget, nullptr) << c.name;
    EXPECT_EQ(widget->geometry(), c.bounds) << c.name;
    EXPECT_EQ(widget->isVisible(), c.visible) << c.name;
  }
  EXPECT_EQ(d.Find<QPushButton>("bRS232")->text().toStdString(), "Выбрать СОМ-порт");
  EXPECT_TRUE(d.Find<QPushButton>("bRS232")->font().bold());
  EXPECT_FALSE(d.Find<QLabel>("Label3")->font().bold());
  EXPECT_EQ(d.Find<QGroupBox>("GroupBox2")->title().toStdString(), "Шаг 2");
  for (const auto& box : d.boxes)
    ADD_FAILURE() << box.kind << " " << box.caption << ": " << box.text;
}

TEST(QtMainWindow, AJobRunFromItsButtonEndsWithItsMessage) {
  Desktop d;
  d.window.show();
  std::vector<bool> buttons_enabled;
  d.window.SetMessageHook([&](const qt::QtMainWindow::MessageBox& box) {
    d.boxes.push_back(box);
    buttons_enabled.push_back(d.Find<QPushButton>("bLoadProg")->isEnabled());
    auto* progress = d.window.findChild<qt::QtProgressDialog*>("ProgressForm");
    EXPECT_NE(progress, nullptr) << "the closing message comes while the dialog is open";
    if (progress) {
      EXPECT_TRUE(progress->isVisible());
      EXPECT_EQ(progress->findChild<qt::QtGauge*>("ProgressGauge")->Text().toStdString(), "100%");
      EXPECT_FALSE(progress->findChild<QPushButton*>("BitBtn1")->isVisible());
    }
    return Messages::kYes;
  });
  d.Find<QPushButton>("bGetParams")->click();
  ASSERT_EQ(d.boxes.size(), 1u);
  EXPECT_EQ(d.boxes[0].kind, "info");
  EXPECT_EQ(d.boxes[0].caption, "Information");
  EXPECT_EQ(d.boxes[0].text.rfind(texts::kSavedToFile, 0), 0u) << d.boxes[0].text;
  EXPECT_EQ(buttons_enabled, std::vector<bool>{false}) << "job buttons off while the job runs";
  EXPECT_TRUE(d.Find<QPushButton>("bLoadProg")->isEnabled());
  QApplication::processEvents();
  EXPECT_EQ(d.window.findChild<qt::QtProgressDialog*>("ProgressForm"), nullptr)
      << "the dialog is gone with the job";
  std::string saved = d.boxes[0].text.substr(std::string(texts::kSavedToFile).size());
  EXPECT_TRUE(std::filesystem::exists(d.dir / saved)) << saved;
}

TEST(QtMainWindow, ClosingWritesTheSettingsButNotWhileAJobRuns) {
  Desktop d;
  d.window.show();
  bool closed_during_job = true;
  d.window.SetMessageHook([&](const qt::QtMainWindow::MessageBox&) {
    closed_during_job = d.window.close();
    return Messages::kYes;
  });
  d.Find<QPushButton>("bGetParams")->click();
  EXPECT_FALSE(closed_during_job) << "the window stays while its job runs";
  EXPECT_TRUE(d.window.isVisible());
  EXPECT_TRUE(d.window.close());
  TIniFile ini(d.dir / "quorvane.ini");
  EXPECT_EQ(ini.ReadInteger("RS232", "Port", 0), 1);
  EXPECT_EQ(ini.ReadInteger("Common", "Auto", -1), 0);
  EXPECT_EQ(ini.ReadInteger("MainWindow", "State", -1), 0);
}

TEST(QtPortChooser, OffersTheEntriesWithTheCurrentOneSelected) {
  struct Case {
    const char* name;
    int initial;
    std::function<void(QDialog&)> user;
    bool ok;
    int selected;
  };
  auto press = [](const char* button) {
    return [button](QDialog& dialog) { dialog.findChild<QPushButton*>(button)->click(); };
  };
  auto pick_first_then_ok = [](QDialog& dialog) {
    dialog.findChild<QComboBox*>("PCB")->setCurrentIndex(0);
    dialog.findChild<QPushButton*>("OKBtn")->click();
  };
  auto esc = [](QDialog& dialog) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &key);
  };
  const Case cases[] = {
      {"OK without a change", 1, press("OKBtn"), true, 1},
      {"COM1 and OK", 1, pick_first_then_ok, true, 0},
      {"Cancel", 1, press("CancelBtn"), false, 1},
      {"Esc", 1, esc, false, 1},
      {"no entry selected, OK", -1, press("OKBtn"), true, -1},
  };
  App();
  for (const auto& c : cases) {
    qt::QtPortChooser chooser(nullptr);
    std::vector<std::string> offered;
    QTimer::singleShot(0, &chooser, [&] {
      auto* list = chooser.findChild<QComboBox*>("PCB");
      for (int i = 0; i < list->count(); ++i)
        offered.push_back(list->itemText(i).toStdString());
      EXPECT_EQ(list->currentIndex(), c.initial) << c.name;
      EXPECT_FALSE(list->isEditable()) << c.name;
      EXPECT_TRUE(chooser.findChild<QPushButton*>("OKBtn")->isDefault()) << c.name;
      c.user(chooser);
    });
    int selected = c.initial;
    EXPECT_EQ(chooser.ShowModal({"COM1", "COM4"}, selected), c.ok) << c.name;
    EXPECT_EQ(selected, c.selected) << c.name;
    EXPECT_EQ(offered, (std::vector<std::string>{"COM1", "COM4"})) << c.name;
    EXPECT_EQ(chooser.windowTitle().toStdString(), "Выбор номера порта") << c.name;
  }
}

TEST(QtProgressDialog, EscPressesCancelOnlyWhileItIsVisible) {
  App();
  QWidget owner;
  auto view = std::make_unique<qt::QtProgressDialog>(&owner);
  qt::QtProgressDialog* dialog = view.get();
  TProgressForm form(std::move(view));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
  form.ShowCancel(false);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(dialog, &esc);
  EXPECT_FALSE(form.Cancelled());
  EXPECT_TRUE(dialog->isVisible()) << "Esc never closes the dialog";
  form.ShowCancel(true);
  QApplication::sendEvent(dialog, &esc);
  EXPECT_TRUE(form.Cancelled());
  EXPECT_TRUE(dialog->isVisible());
}

}  // namespace
}  // namespace qv
