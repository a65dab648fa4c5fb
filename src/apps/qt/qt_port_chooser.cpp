#include "qt_port_chooser.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "qt_fonts.h"

namespace qv::qt {

QtPortChooser::QtPortChooser(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("KV_RS232_SetNumDlg");
  setWindowTitle(QString::fromUtf8("Выбор номера порта"));
  setFixedSize(337, 85);
  setFont(DesignFont());

  PCB = new QComboBox(this);
  PCB->setObjectName("PCB");
  PCB->setEditable(false);
  PCB->setGeometry(224, 8, 105, 21);
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKBtn");
  ok->setGeometry(152, 48, 80, 27);
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("CancelBtn");
  cancel->setGeometry(244, 48, 80, 27);
  auto* label = new QLabel(QString::fromUtf8("Выберите последовательный порт"), this);
  label->setObjectName("Label1");
  label->setGeometry(8, 8, 201, 13);
  label->setWordWrap(true);
  setTabOrder(PCB, ok);
  setTabOrder(ok, cancel);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool QtPortChooser::ShowModal(const std::vector<std::string>& entries, int& selected) {
  PCB->clear();
  for (const auto& entry : entries)
    PCB->addItem(QString::fromStdString(entry));
  PCB->setCurrentIndex(selected);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  PCB->setFocus();
  bool ok = exec() == QDialog::Accepted;
  if (ok) selected = PCB->currentIndex();
  return ok;
}

}  // namespace qv::qt
