#pragma once

#include <QDialog>

#include "port/port_chooser.h"

class QComboBox;

namespace qv::qt {

// The dialog "Выбор номера порта": the list of present ports, OK (default) and Cancel (Esc).
class QtPortChooser final : public QDialog, public TKV_RS232_SetNumDlg {
 public:
  explicit QtPortChooser(QWidget* parent);
  bool ShowModal(const std::vector<std::string>& entries, int& selected) override;

 private:
  QComboBox* PCB;
};

}  // namespace qv::qt
