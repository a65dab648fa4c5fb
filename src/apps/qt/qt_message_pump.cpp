#include "qt_message_pump.h"

#include <QCoreApplication>

namespace qv::qt {

void QtMessagePump::ProcessMessages() {
  QCoreApplication::processEvents();
}

}  // namespace qv::qt
