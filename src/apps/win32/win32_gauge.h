#pragma once

#include "win32_ui.h"

namespace qv::win32 {

// The progress bar of the progress dialog: a single border, black fill on white from the left,
// and the percentage ("37%") centred over the bar, white where the fill lies under it.
class Gauge {
 public:
  // Creates the control as a child of `parent`.
  Gauge(HWND parent, Bounds bounds);

  HWND Handle() const { return window_; }
  // 0..100; values outside are clamped.
  void SetProgress(int percent);
  int Progress() const { return percent_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Paint(HDC dc) const;

  HWND window_ = nullptr;
  int percent_ = 0;
};

}  // namespace qv::win32
