#include "qt_gauge.h"

#include <QPainter>

namespace qv::qt {

QtGauge::QtGauge(QWidget* parent) : QWidget(parent) {}

void QtGauge::SetProgress(int percent) {
  progress_ = percent;
  update();
}

QString QtGauge::Text() const {
  return QString::asprintf("%d%%", progress_);
}

void QtGauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect inner = rect().adjusted(1, 1, -1, -1);
  painter.fillRect(rect(), Qt::black);
  painter.fillRect(inner, Qt::white);
  QRect fill = inner;
  fill.setWidth(inner.width() * progress_ / 100);
  painter.fillRect(fill, Qt::black);
  // The text twice, each clipped to its part of the bar, so it reads on both colours.
  painter.setClipRect(fill);
  painter.setPen(Qt::white);
  painter.drawText(inner, Qt::AlignCenter, Text());
  painter.setClipRegion(QRegion(inner).subtracted(QRegion(fill)));
  painter.setPen(Qt::black);
  painter.drawText(inner, Qt::AlignCenter, Text());
}

}  // namespace qv::qt
