// The desktop program: one copy per executable name, the main window over the shell's logic.
#include <QApplication>

#include "common/ini_file.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/posix/device_registry_sysfs.h"
#include "platform/process.h"
#include "qt_main_window.h"
#include "qt_message_pump.h"
#include "qt_port_chooser.h"
#include "shell/mini_file.h"

namespace {

// The port table with the ini file's "Ports" section, read without creating the file (the
// start-up sequence does that); a file that cannot be read leaves the default table.
qv::platform::PortTable PortTableFor(const std::filesystem::path& executable) {
  try {
    qv::TIniFile ini(qv::TMIniFile::PathFor(executable));
    return qv::platform::PortTable::ForThisSystem(&ini);
  } catch (const std::exception&) {
    return qv::platform::PortTable::ForThisSystem(nullptr);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path executable = qv::platform::ExecutablePath();
  auto lock = qv::platform::AcquireInstanceLock(executable.filename().string());
  if (!lock) return 0;

  QApplication app(argc, argv);
  qv::platform::TableSerialPlatform ports(PortTableFor(executable));
  auto registry = qv::platform::MakeSysfsDeviceRegistry(ports.Table());
  qv::qt::QtMessagePump pump;
  qv::qt::QtMainWindow window;
  qv::qt::QtPortChooser chooser(&window);
  qv::TMainForm form(
      {window, chooser, ports, *registry, qv::platform::SystemClock(), pump, executable});
  window.Attach(form);
  window.show();
  return app.exec();
}
