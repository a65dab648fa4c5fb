#include "win32_progress_dialog.h"

#include "shell/progress_form.h"

namespace qv::win32 {

Win32ProgressDialog::Win32ProgressDialog(HWND main_window, platform::win32::Win32MessagePump& pump)
    : main_window_(main_window), pump_(pump) {
  // A caption and a single border without a system menu: the title bar has no buttons.
  DialogTemplate design(WS_POPUP | WS_CAPTION | WS_BORDER, WS_EX_TOPMOST);
  dialog_ =
      ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), design.Get(), main_window,
                                   &Win32ProgressDialog::Proc, reinterpret_cast<LPARAM>(this));
  ::SetWindowTextW(dialog_, Wide(TProgressForm::kCaption).c_str());
  ::SendMessageW(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(SystemFont()), FALSE);
  SetClientSize(dialog_, 261, 113);
  CreateControls();
  pump_.AddDialog(dialog_);
}

Win32ProgressDialog::~Win32ProgressDialog() {
  pump_.RemoveDialog(dialog_);
  // The main window takes the focus back before the dialog goes, so it is not lost to another
  // program.
  if (::GetActiveWindow() == dialog_ && main_window_) ::SetActiveWindow(main_window_);
  ::DestroyWindow(dialog_);
}

void Win32ProgressDialog::CreateControls() {
  ProgressLabel = CreateControl(dialog_, L"STATIC", TProgressForm::kDesignLabel,
                                WS_VISIBLE | SS_CENTER, {0, 0, 261, 41}, -1, DesignFont());
  ProgressGauge = std::make_unique<Gauge>(dialog_, Bounds{21, 48, 220, 25});
  ::ShowWindow(ProgressGauge->Handle(), SW_SHOWNA);
  // The button of the Cancel kind: its id is IDCANCEL, so Esc presses it while it can be seen.
  BitBtn1 = CreateControl(dialog_, L"BUTTON", "Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                          {75, 80, 111, 25}, IDCANCEL, DesignFont());
}

void Win32ProgressDialog::Show() {
  CentreOver(dialog_, main_window_);
  ::ShowWindow(dialog_, SW_SHOW);
  ::UpdateWindow(dialog_);
}

void Win32ProgressDialog::SetLabelText(const std::string& text) {
  ::SetWindowTextW(ProgressLabel, Wide(text).c_str());
}

void Win32ProgressDialog::SetGaugePosition(int percent) {
  ProgressGauge->SetProgress(percent);
}

void Win32ProgressDialog::SetGaugeVisible(bool visible) {
  ::ShowWindow(ProgressGauge->Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

void Win32ProgressDialog::SetCancelVisible(bool visible) {
  ::ShowWindow(BitBtn1, visible ? SW_SHOWNA : SW_HIDE);
}

INT_PTR CALLBACK Win32ProgressDialog::Proc(HWND dialog, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    return TRUE;
  }
  auto* self = reinterpret_cast<Win32ProgressDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (!self) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL && self->events_) {
        // A click comes from the button itself; Esc comes through the dialog manager.
        if (lparam != 0 && HIWORD(wparam) == BN_CLICKED &&
            reinterpret_cast<HWND>(lparam) == self->BitBtn1 && ::GetKeyState(VK_ESCAPE) >= 0) {
          self->events_->BitBtn1Click();
        } else {
          self->events_->EscapePressed();
        }
      }
      return TRUE;
    case WM_CLOSE:
      // The dialog closes only when its job frees it.
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace qv::win32
