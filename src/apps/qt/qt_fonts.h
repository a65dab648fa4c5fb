#pragma once

#include <QFont>

namespace qv::qt {

// The windows' font: "MS Sans Serif" 8 points where the machine has it, else the nearest sans
// serif face.
inline QFont DesignFont(bool bold = false) {
  QFont font("MS Sans Serif", 8);
  font.setStyleHint(QFont::SansSerif);
  font.setBold(bold);
  return font;
}

}  // namespace qv::qt
