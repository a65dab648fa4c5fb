#pragma once

#include <QWidget>

namespace qv::qt {

// The main window's decoration: a small picture of a circuit board with the device's name,
// drawn in code and stretched to the box.
class QtPicture final : public QWidget {
 public:
  explicit QtPicture(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace qv::qt
