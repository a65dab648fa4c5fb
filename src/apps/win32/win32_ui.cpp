#include "win32_ui.h"

#include "platform/win32/text_win32.h"

namespace qv::win32 {
namespace {

// Font heights in pixels at the design resolution of 96 dots per inch; the forms are not scaled
// with the screen's resolution.
int PixelsOfPoints(int points) {
  return -::MulDiv(points, 96, 72);
}

HFONT MakeFont(const wchar_t* face, int points, bool bold) {
  return ::CreateFontW(PixelsOfPoints(points), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                       FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

}  // namespace

HFONT DesignFont(bool bold) {
  static HFONT regular = MakeFont(L"MS Sans Serif", 8, false);
  static HFONT heavy = MakeFont(L"MS Sans Serif", 8, true);
  return bold ? heavy : regular;
}

HFONT SystemFont() {
  static HFONT font = MakeFont(L"System", 10, false);
  return font;
}

std::wstring Wide(const std::string& utf8) {
  return platform::win32::Utf8ToWide(utf8);
}

HWND CreateControl(HWND parent, const wchar_t* window_class, const std::string& text, DWORD style,
                   Bounds bounds, int id, HFONT font) {
  HWND control = ::CreateWindowExW(0, window_class, Wide(text).c_str(), WS_CHILD | style,
                                   bounds.left, bounds.top, bounds.width, bounds.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
  if (control && font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void SetClientSize(HWND window, int width, int height) {
  RECT rect{0, 0, width, height};
  DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
  DWORD ex_style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
  ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  ::SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CentreOver(HWND window, HWND over) {
  RECT area;
  if (over) {
    ::GetWindowRect(over, &area);
  } else {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT rect;
  ::GetWindowRect(window, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  int left = area.left + (area.right - area.left - width) / 2;
  int top = area.top + (area.bottom - area.top - height) / 2;
  ::SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

DialogTemplate::DialogTemplate(DWORD style, DWORD ex_style) {
  auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words_);
  dialog->style = style;
  dialog->dwExtendedStyle = ex_style;
  dialog->cdit = 0;
  // The menu, class and title arrays that follow stay empty (zero words).
}

void RegisterWindowClassOnce(const wchar_t* name, WNDPROC proc, bool top_level) {
  WNDCLASSW existing{};
  if (::GetClassInfoW(::GetModuleHandleW(nullptr), name, &existing)) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  if (top_level) {
    wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  }
  wc.lpszClassName = name;
  ::RegisterClassW(&wc);
}

}  // namespace qv::win32
