#pragma once

#include <QDialog>

#include "shell/progress_view.h"

class QLabel;
class QPushButton;

namespace qv::qt {

class QtGauge;

// The progress dialog "Progress...": always on top, no title-bar buttons, the stage label, the
// gauge and the Cancel button, which Esc presses while it is visible. It never closes itself:
// the job that made it destroys it.
class QtProgressDialog final : public QDialog, public TProgressFormView {
 public:
  explicit QtProgressDialog(QWidget* main_window);

  void Bind(TProgressFormEvents& events) override { events_ = &events; }
  void Show() override;
  void SetLabelText(const std::string& text) override;
  void SetGaugePosition(int percent) override;
  void SetGaugeVisible(bool visible) override;
  void SetCancelVisible(bool visible) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}

 private:
  TProgressFormEvents* events_ = nullptr;
  QLabel* ProgressLabel;
  QtGauge* ProgressGauge;
  QPushButton* BitBtn1;
};

}  // namespace qv::qt
