#include "win32_port_chooser.h"

namespace qv::win32 {
namespace {

constexpr int kPcbId = 100;

}  // namespace

bool Win32PortChooser::ShowModal(const std::vector<std::string>& entries, int& selected) {
  entries_ = &entries;
  selected_ = selected;
  // A dialog border with only the close button in its title bar.
  DialogTemplate design(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_DLGMODALFRAME);
  INT_PTR result =
      ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), design.Get(), owner_,
                                &Win32PortChooser::Proc, reinterpret_cast<LPARAM>(this));
  entries_ = nullptr;
  if (result != IDOK) return false;
  selected = selected_;
  return true;
}

void Win32PortChooser::CreateControls(HWND dialog) {
  ::SetWindowTextW(dialog, Wide("Выбор номера порта").c_str());
  ::SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(DesignFont()), FALSE);
  SetClientSize(dialog, 337, 85);
  // Created in tab order: the list, OK, Cancel; the label takes no focus.
  // A drop-down list's height includes its open list.
  PCB = CreateControl(dialog, L"COMBOBOX", "",
                      WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                      {224, 8, 105, 21 + 200}, kPcbId, DesignFont());
  CreateControl(dialog, L"BUTTON", "OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                {152, 48, 80, 27}, IDOK, DesignFont());
  CreateControl(dialog, L"BUTTON", "Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                {244, 48, 80, 27}, IDCANCEL, DesignFont());
  CreateControl(dialog, L"STATIC", "Выберите последовательный порт", WS_VISIBLE | SS_LEFT,
                {8, 8, 201, 13}, -1, DesignFont());
  for (const std::string& entry : *entries_) {
    ::SendMessageW(PCB, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
  }
  ::SendMessageW(PCB, CB_SETCURSEL, static_cast<WPARAM>(selected_), 0);
  CentreOver(dialog, nullptr);
  ::SetFocus(PCB);
}

INT_PTR CALLBACK Win32PortChooser::Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    reinterpret_cast<Win32PortChooser*>(lparam)->CreateControls(dialog);
    // The focus was set on the list; the dialog manager must not move it.
    return FALSE;
  }
  auto* self = reinterpret_cast<Win32PortChooser*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (!self || message != WM_COMMAND) return FALSE;
  int id = LOWORD(wparam);
  if (id == IDOK) {
    self->selected_ = static_cast<int>(::SendMessageW(self->PCB, CB_GETCURSEL, 0, 0));
    ::EndDialog(dialog, IDOK);
    return TRUE;
  }
  if (id == IDCANCEL) {
    // Cancel, Esc and the close button all arrive here.
    ::EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

}  // namespace qv::win32
