#pragma once

namespace qv {

// A window's show state as the ini file stores it.
enum class TWindowState : int { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// What ReadWindowPlacement and WriteWindowPlacement touch on a form: its show state and its
// bounds in pixels, and whether its border lets the user resize it.
class TFormPlacement {
 public:
  virtual ~TFormPlacement() = default;
  // The current state as 0 normal, 1 minimised, 2 maximised.
  virtual int WindowState() const = 0;
  // Applies a stored state; a value outside 0..2 is the view's to treat (a normal window).
  virtual void SetWindowState(int state) = 0;
  virtual int Left() const = 0;
  virtual void SetLeft(int value) = 0;
  virtual int Top() const = 0;
  virtual void SetTop(int value) = 0;
  virtual int Width() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual int Height() const = 0;
  virtual void SetHeight(int value) = 0;
  virtual bool Sizeable() const = 0;
};

}  // namespace qv
