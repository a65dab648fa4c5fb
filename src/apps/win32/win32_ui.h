#pragma once

#include <string>

#include "platform/win32/windows_api.h"

namespace qv::win32 {

// A control's place in its parent's client area, in pixels, as the forms were designed.
struct Bounds {
  int left, top, width, height;
};

// The forms' fonts, made once: "MS Sans Serif" 8 points, regular and bold, and "System" 10.
HFONT DesignFont(bool bold = false);
HFONT SystemFont();

// UTF-8 text for the W functions.
std::wstring Wide(const std::string& utf8);

// Registers a window class once per process: its procedure, the arrow cursor and, when given,
// the application icon and the dialog face background. Later calls do nothing.
void RegisterWindowClassOnce(const wchar_t* name, WNDPROC proc, bool top_level);

// A child control with the given class, text, style and bounds, in the design font.
HWND CreateControl(HWND parent, const wchar_t* window_class, const std::string& text, DWORD style,
                   Bounds bounds, int id, HFONT font);

// Gives a window the outer size that makes its client area `width` × `height`.
void SetClientSize(HWND window, int width, int height);
// Moves a window so that its centre is the centre of `over` (null: the primary screen's work
// area).
void CentreOver(HWND window, HWND over);

// An empty dialog template with the given styles; the controls are made in WM_INITDIALOG with
// pixel bounds, so the dialog's own units never move them.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, DWORD ex_style);
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_); }

 private:
  alignas(DWORD) WORD words_[16] = {};
};

}  // namespace qv::win32
