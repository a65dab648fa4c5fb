#include "qt_picture.h"

#include <QLinearGradient>
#include <QPainter>

namespace qv::qt {

QtPicture::QtPicture(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void QtPicture::paintEvent(QPaintEvent*) {
  // Drawn on a 240 × 40 design grid and scaled to the widget.
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(width() / 240.0, height() / 40.0);
  QLinearGradient board(0, 0, 240, 40);
  board.setColorAt(0, QColor(0x1f, 0x5c, 0x3a));
  board.setColorAt(1, QColor(0x2e, 0x8b, 0x57));
  p.setPen(Qt::NoPen);
  p.setBrush(board);
  p.drawRoundedRect(QRectF(1, 1, 238, 38), 6, 6);
  // Copper tracks and pads.
  p.setPen(QPen(QColor(0xd4, 0xa0, 0x3c), 1.5));
  for (int y : {9, 20, 31}) {
    p.drawLine(QPointF(44, y), QPointF(62, y));
    p.drawEllipse(QPointF(64, y), 2, 2);
  }
  // The microcontroller: a dark package with its pins.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xc0, 0xc0, 0xc0));
  for (int i = 0; i < 5; ++i) {
    p.drawRect(QRectF(12 + i * 5, 3, 2, 4));
    p.drawRect(QRectF(12 + i * 5, 33, 2, 4));
  }
  p.setBrush(QColor(0x20, 0x20, 0x20));
  p.drawRoundedRect(QRectF(8, 7, 30, 26), 2, 2);
  p.setPen(QColor(0xe0, 0xe0, 0xe0));
  QFont small("Sans Serif");
  small.setPixelSize(7);
  p.setFont(small);
  p.drawText(QRectF(8, 7, 30, 26), Qt::AlignCenter, "ARM");
  QFont title("Sans Serif");
  title.setPixelSize(17);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(0xf5, 0xf5, 0xf0));
  p.drawText(QRectF(72, 2, 164, 24), Qt::AlignLeft | Qt::AlignVCenter, "Quorvane");
  small.setPixelSize(9);
  p.setFont(small);
  p.drawText(QRectF(73, 24, 164, 13), Qt::AlignLeft | Qt::AlignVCenter, "Holtek service tool");
}

}  // namespace qv::qt
