#pragma once

#include <QWidget>

namespace qv::qt {

// A horizontal bar gauge, 0 to 100: black fill on white in a single border, the value written
// over the bar as "%d%%", centred, in white where it lies on the fill and black elsewhere.
class QtGauge final : public QWidget {
 public:
  explicit QtGauge(QWidget* parent);
  void SetProgress(int percent);
  int Progress() const { return progress_; }
  QString Text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int progress_ = 0;
};

}  // namespace qv::qt
