#include "win32_gauge.h"

#include <algorithm>
#include <cstdio>

namespace qv::win32 {
namespace {

constexpr const wchar_t* kClass = L"TGauge";

}  // namespace

Gauge::Gauge(HWND parent, Bounds bounds) {
  RegisterWindowClassOnce(kClass, &Gauge::Proc, /*top_level=*/false);
  window_ =
      ::CreateWindowExW(0, kClass, L"", WS_CHILD | WS_BORDER, bounds.left, bounds.top, bounds.width,
                        bounds.height, parent, nullptr, ::GetModuleHandleW(nullptr), this);
}

void Gauge::SetProgress(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (percent == percent_) return;
  percent_ = percent;
  ::InvalidateRect(window_, nullptr, FALSE);
}

LRESULT CALLBACK Gauge::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Gauge*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_PAINT && self) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window, &ps);
    self->Paint(dc);
    ::EndPaint(window, &ps);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void Gauge::Paint(HDC dc) const {
  RECT client;
  ::GetClientRect(window_, &client);
  RECT filled = client;
  filled.right = client.left + (client.right - client.left) * percent_ / 100;
  RECT empty = client;
  empty.left = filled.right;

  wchar_t text[8];
  std::swprintf(text, 8, L"%d%%", percent_);
  HGDIOBJ old_font = ::SelectObject(dc, DesignFont());
  ::SetBkMode(dc, TRANSPARENT);
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  // Each part is drawn with the text clipped to it, so the text reads on either colour.
  struct Part {
    const RECT& rect;
    int fill;
    COLORREF ink;
  } parts[] = {{filled, BLACK_BRUSH, RGB(255, 255, 255)}, {empty, WHITE_BRUSH, RGB(0, 0, 0)}};
  for (const Part& part : parts) {
    if (part.rect.right <= part.rect.left) continue;
    ::FillRect(dc, &part.rect, static_cast<HBRUSH>(::GetStockObject(part.fill)));
    int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, part.rect.left, part.rect.top, part.rect.right, part.rect.bottom);
    ::SetTextColor(dc, part.ink);
    RECT box = client;
    ::DrawTextW(dc, text, -1, &box, format);
    ::RestoreDC(dc, saved);
  }
  ::SelectObject(dc, old_font);
}

}  // namespace qv::win32
