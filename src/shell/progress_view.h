#pragma once

#include <string>

namespace qv {

// What the progress dialog's window reports to its presenter (TProgressForm).
class TProgressFormEvents {
 public:
  virtual ~TProgressFormEvents() = default;
  // The Cancel button (BitBtn1) was clicked.
  virtual void BitBtn1Click() = 0;
  // Esc was pressed while the dialog was active; the presenter decides whether it counts.
  virtual void EscapePressed() = 0;
};

// The progress dialog "Progress..." as a toolkit draws it: always on top, no title-bar buttons,
// the stage label, a 0..100 bar with a centred "%d%%" text and the Cancel button. Destroying the
// view closes the dialog.
class TProgressFormView {
 public:
  virtual ~TProgressFormView() = default;
  // Connects the Cancel button and the Esc key to the presenter; called once, before Show.
  virtual void Bind(TProgressFormEvents& events) = 0;
  // Shows the dialog, not modal, centred over the main window.
  virtual void Show() = 0;
  virtual void SetLabelText(const std::string& text) = 0;
  virtual void SetGaugePosition(int percent) = 0;
  virtual void SetGaugeVisible(bool visible) = 0;
  virtual void SetCancelVisible(bool visible) = 0;
};

}  // namespace qv
