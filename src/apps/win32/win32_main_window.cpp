#include "win32_main_window.h"

#include <cwchar>

#include "platform/win32/text_win32.h"
#include "win32_progress_dialog.h"

// After windows.h, which it needs.
#include <commdlg.h>

namespace qv::win32 {
namespace {

constexpr const wchar_t* kClass = L"TMainForm";

enum ControlId {
  kCbAuto = 101,
  kBRS232,
  kBGetParams,
  kBLoadProg,
  kBSetParams,
  kMemo,
  kImage1,
};

// A control inside a frame: its bounds are the frame's origin plus its own.
Bounds In(Bounds frame, Bounds own) {
  return {frame.left + own.left, frame.top + own.top, own.width, own.height};
}

// "Description|pattern|..." as the common dialog wants it: pairs separated by zeros, ending in
// two.
std::wstring DialogFilter(const std::string& filter) {
  std::wstring wide = Wide(filter);
  for (wchar_t& c : wide) {
    if (c == L'|') c = L'\0';
  }
  wide.push_back(L'\0');
  wide.push_back(L'\0');
  return wide;
}

int MessageBoxOnScreen(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  return ::MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), type | MB_SETFOREGROUND);
}

}  // namespace

Win32MainWindow::Win32MainWindow(platform::win32::Win32MessagePump& pump) : pump_(pump) {
  RegisterWindowClassOnce(kClass, &Win32MainWindow::Proc, /*top_level=*/true);
  // A single border that cannot be resized, the system menu and the minimise button only. The
  // frames do not paint their insides, so the window paints under its children.
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT,
                              810, 249, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(DesignFont()), FALSE);
  SetClientSize(window_, 810, 249);
  CreateControls();
  // Tab moves between the buttons as in a dialog.
  pump_.AddDialog(window_);
}

Win32MainWindow::~Win32MainWindow() {
  pump_.RemoveDialog(window_);
  if (::IsWindow(window_)) ::DestroyWindow(window_);
}

void Win32MainWindow::CreateControls() {
  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  const DWORD frame = WS_VISIBLE | BS_GROUPBOX;
  const DWORD label = WS_VISIBLE | SS_CENTER;
  HFONT bold = DesignFont(true);
  HFONT regular = DesignFont();

  cbAuto = CreateControl(window_, L"BUTTON", "Искать МК автоматически",
                         WS_TABSTOP | BS_AUTOCHECKBOX, {8, 8, 265, 17}, kCbAuto, bold);
  // The Cyrillic С, О and М of "СОМ", as the button has always read.
  bRS232 = CreateControl(window_, L"BUTTON", "Выбрать СОМ-порт", button, {8, 32, 393, 25}, kBRS232,
                         bold);

  const Bounds group1{8, 72, 393, 121};
  CreateControl(window_, L"BUTTON", "Шаг 1", frame, group1, -1, bold);
  CreateControl(window_, L"STATIC",
                "Для последующего восстановления настроек, сделанных пользователем в текущей "
                "версии, или для переноса текущих настроек в более новые версии считайте текущие "
                "настройки МК.",
                label, In(group1, {40, 16, 313, 57}), -1, regular);
  bGetParams = CreateControl(window_, L"BUTTON", "Считать настройки из МК", button,
                             In(group1, {8, 80, 377, 25}), kBGetParams, bold);

  const Bounds group2{408, 8, 393, 89};
  CreateControl(window_, L"BUTTON", "Шаг 2", frame, group2, -1, bold);
  CreateControl(window_, L"STATIC", "Загрузите новую прошивку в МК.", label,
                In(group2, {40, 16, 313, 25}), -1, regular);
  bLoadProg = CreateControl(window_, L"BUTTON", "Загрузить прошивку", button,
                            In(group2, {8, 48, 377, 25}), kBLoadProg, bold);

  const Bounds group4{408, 112, 393, 81};
  CreateControl(window_, L"BUTTON", "Шаг 3", frame, group4, -1, bold);
  CreateControl(window_, L"STATIC", "Запишите ранее сохраненные настройки в МК", label,
                In(group4, {40, 16, 313, 25}), -1, regular);
  bSetParams = CreateControl(window_, L"BUTTON", "Записать настройки в МК", button,
                             In(group4, {8, 40, 377, 25}), kBSetParams, bold);

  Memo = CreateControl(window_, L"EDIT", "", ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER,
                       {552, 176, 57, 17}, kMemo, regular);
  Image1 = CreateControl(window_, L"STATIC", "", WS_VISIBLE | SS_OWNERDRAW, {560, 200, 240, 40},
                         kImage1, nullptr);
}

void Win32MainWindow::Show(int show_command) {
  ::ShowWindow(window_, show_command);
  ::UpdateWindow(window_);
  if (shown_once_ || !form_) return;
  shown_once_ = true;
  form_->Run([this] { form_->FormShow(); });
  // The window opens centred: the restored Left and Top give way to the centring.
  if (WindowState() == 0) CentreOver(window_, nullptr);
}

LRESULT CALLBACK Win32MainWindow::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || !self->window_) return ::DefWindowProcW(window, message, wparam, lparam);
  return self->OnMessage(message, wparam, lparam);
}

LRESULT Win32MainWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) OnCommand(LOWORD(wparam));
      return 0;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->CtlID == kImage1) DrawPicture(*item);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      // Labels on the form's face colour, as the frames are.
      ::SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wparam, lparam);
  }
}

void Win32MainWindow::OnCommand(int id) {
  if (!form_) return;
  switch (id) {
    case kBRS232:
      form_->Run([this] { form_->bRS232Click(); });
      break;
    case kCbAuto: {
      bool checked = ::SendMessageW(cbAuto, BM_GETCHECK, 0, 0) == BST_CHECKED;
      form_->Run([this, checked] { form_->cbAutoClick(checked); });
      break;
    }
    case kBGetParams:
      form_->Run([this] { form_->bGetParamsClick(); });
      break;
    case kBLoadProg:
      form_->Run([this] { form_->bLoadProgClick(); });
      break;
    case kBSetParams:
      form_->Run([this] { form_->bSetParamsClick(); });
      break;
    default:
      break;
  }
}

void Win32MainWindow::OnClose() {
  if (form_ && !form_->CanClose()) return;
  // The settings are written; an error is reported and the window closes all the same, so that
  // a folder that cannot be written never keeps the program from ending.
  if (form_) form_->Run([this] { form_->FormClose(); });
  ::DestroyWindow(window_);
}

void Win32MainWindow::DrawPicture(const DRAWITEMSTRUCT& item) const {
  // The decoration: the product's name on a band of the device's blue.
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  HBRUSH band = ::CreateSolidBrush(RGB(0, 70, 140));
  ::FillRect(dc, &box, band);
  ::DeleteObject(band);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(255, 255, 255));
  HGDIOBJ old = ::SelectObject(dc, DesignFont(true));
  ::DrawTextW(dc, L"QUORVANE  \u2022  HOLTEK", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  ::SelectObject(dc, old);
}

void Win32MainWindow::SetCaption(const std::string& text) {
  ::SetWindowTextW(window_, Wide(text).c_str());
}

void Win32MainWindow::SetAutoChecked(bool checked) {
  // BM_SETCHECK sends no click: the presenter has already done what the click would do.
  ::SendMessageW(cbAuto, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32MainWindow::SetRS232Enabled(bool enabled) {
  ::EnableWindow(bRS232, enabled);
}

void Win32MainWindow::SetJobButtonsEnabled(bool enabled) {
  for (HWND button : {bGetParams, bLoadProg, bSetParams})
    ::EnableWindow(button, enabled);
}

void Win32MainWindow::SetMemoLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  ::SetWindowTextW(Memo, Wide(text).c_str());
}

std::optional<std::filesystem::path> Win32MainWindow::ChooseFile(const TOpenDialogSpec& dialog) {
  std::wstring filter = DialogFilter(dialog.filter);
  std::wstring folder = dialog.initial_dir.wstring();
  std::wstring file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = window_;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  // The chosen file and its path must exist, the read-only box is hidden, the dialog resizes.
  // The current directory is not kept: it follows the chosen file's folder.
  ofn.Flags =
      OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!::GetOpenFileNameW(&ofn)) return std::nullopt;
  file.resize(std::wcslen(file.c_str()));
  return std::filesystem::path(file);
}

std::unique_ptr<TProgressFormView> Win32MainWindow::CreateProgressView() {
  return std::make_unique<Win32ProgressDialog>(window_, pump_);
}

void Win32MainWindow::ProcessMessages() {
  pump_.ProcessMessages();
}

void Win32MainWindow::ShowApplicationError(const std::string& caption, const std::string& text) {
  MessageBoxOnScreen(window_, text, caption, MB_OK | MB_ICONERROR);
}

void Win32MainWindow::ShowError(const std::string& text) {
  MessageBoxOnScreen(window_, text, "Error", MB_OK | MB_ICONERROR);
}

void Win32MainWindow::ShowInfo(const std::string& text) {
  MessageBoxOnScreen(window_, text, "Information", MB_OK | MB_ICONINFORMATION);
}

int Win32MainWindow::AskYesNo(const std::string& text) {
  // IDYES is 6, the value callers go on with; No gives 7.
  return MessageBoxOnScreen(window_, text, "Confirm", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1);
}

int Win32MainWindow::WindowState() const {
  if (::IsIconic(window_)) return 1;
  if (::IsZoomed(window_)) return 2;
  return 0;
}

void Win32MainWindow::SetWindowState(int state) {
  // A stored state outside 0..2 opens the window normally.
  ::ShowWindow(window_, state == 1 ? SW_MINIMIZE : state == 2 ? SW_MAXIMIZE : SW_RESTORE);
}

RECT Win32MainWindow::Outer() const {
  // The normal-state bounds, so a minimised window still reports where it will come back.
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  ::GetWindowPlacement(window_, &placement);
  return placement.rcNormalPosition;
}

void Win32MainWindow::MoveTo(int left, int top, int width, int height) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  ::GetWindowPlacement(window_, &placement);
  placement.rcNormalPosition = {left, top, left + width, top + height};
  placement.showCmd = ::IsIconic(window_)   ? SW_SHOWMINNOACTIVE
                      : ::IsZoomed(window_) ? SW_SHOWMAXIMIZED
                                            : SW_SHOWNORMAL;
  ::SetWindowPlacement(window_, &placement);
}

int Win32MainWindow::Left() const {
  return Outer().left;
}
int Win32MainWindow::Top() const {
  return Outer().top;
}
int Win32MainWindow::Width() const {
  return Outer().right - Outer().left;
}
int Win32MainWindow::Height() const {
  return Outer().bottom - Outer().top;
}

void Win32MainWindow::SetLeft(int value) {
  MoveTo(value, Top(), Width(), Height());
}
void Win32MainWindow::SetTop(int value) {
  MoveTo(Left(), value, Width(), Height());
}
void Win32MainWindow::SetWidth(int value) {
  MoveTo(Left(), Top(), value, Height());
}
void Win32MainWindow::SetHeight(int value) {
  MoveTo(Left(), Top(), Width(), value);
}

}  // namespace qv::win32
