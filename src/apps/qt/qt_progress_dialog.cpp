#include "qt_progress_dialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "qt_fonts.h"
#include "qt_gauge.h"
#include "shell/progress_form.h"

namespace qv::qt {

QtProgressDialog::QtProgressDialog(QWidget* main_window)
    : QDialog(main_window, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowStaysOnTopHint) {
  setObjectName("ProgressForm");
  setWindowTitle(TProgressForm::kCaption);
  setFixedSize(261, 113);
  QFont system("System", 10);
  setFont(system);

  ProgressLabel = new QLabel(QString::fromUtf8(TProgressForm::kDesignLabel), this);
  ProgressLabel->setObjectName("ProgressLabel");
  ProgressLabel->setGeometry(0, 0, 261, 41);
  ProgressLabel->setAlignment(Qt::AlignCenter);
  ProgressLabel->setWordWrap(true);
  ProgressLabel->setFont(DesignFont());

  ProgressGauge = new QtGauge(this);
  ProgressGauge->setObjectName("ProgressGauge");
  ProgressGauge->setGeometry(21, 48, 220, 25);

  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Cancel", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setGeometry(75, 80, 111, 25);
  BitBtn1->setFont(DesignFont());
  BitBtn1->setAutoDefault(false);
  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    if (events_) events_->BitBtn1Click();
  });
}

void QtProgressDialog::Show() {
  if (QWidget* owner = parentWidget()) {
    QRect over = owner->frameGeometry();
    move(over.center() - QPoint(width() / 2, height() / 2));
  }
  show();
}

void QtProgressDialog::SetLabelText(const std::string& text) {
  ProgressLabel->setText(QString::fromStdString(text));
}

void QtProgressDialog::SetGaugePosition(int percent) {
  ProgressGauge->SetProgress(percent);
}

void QtProgressDialog::SetGaugeVisible(bool visible) {
  ProgressGauge->setVisible(visible);
}

void QtProgressDialog::SetCancelVisible(bool visible) {
  BitBtn1->setVisible(visible);
}

void QtProgressDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    if (events_ && BitBtn1->isVisible()) events_->EscapePressed();
    return;
  }
  QDialog::keyPressEvent(event);
}

void QtProgressDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
}

}  // namespace qv::qt
