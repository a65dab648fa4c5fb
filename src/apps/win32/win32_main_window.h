#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/message_pump_win32.h"
#include "shell/main_form.h"
#include "shell/main_form_view.h"
#include "win32_ui.h"

namespace qv::win32 {

// The main window as Windows draws it: 810 × 249 client pixels, a single border with the system
// menu and the minimise button, the three numbered steps, the port button, and the hidden
// automatic-search box and Memo. It forwards its events to the presenter TMainForm.
class Win32MainWindow final : public TMainFormView {
 public:
  explicit Win32MainWindow(platform::win32::Win32MessagePump& pump);
  ~Win32MainWindow() override;

  void Attach(TMainForm& form) { form_ = &form; }
  HWND Handle() const { return window_; }
  // Shows the window, runs the start-up sequence once, and centres the window on the screen.
  void Show(int show_command);

  // TMainFormView.
  void SetCaption(const std::string& text) override;
  void SetAutoChecked(bool checked) override;
  void SetRS232Enabled(bool enabled) override;
  void SetJobButtonsEnabled(bool enabled) override;
  void SetMemoLines(const std::vector<std::string>& lines) override;
  std::optional<std::filesystem::path> ChooseFile(const TOpenDialogSpec& dialog) override;
  std::unique_ptr<TProgressFormView> CreateProgressView() override;
  void ProcessMessages() override;
  void ShowApplicationError(const std::string& caption, const std::string& text) override;

  // Messages: the system's standard message boxes, centred on the screen.
  void ShowError(const std::string& text) override;
  void ShowInfo(const std::string& text) override;
  int AskYesNo(const std::string& text) override;

  // TFormPlacement: the outer bounds of the window, as the ini file keeps them.
  int WindowState() const override;
  void SetWindowState(int state) override;
  int Left() const override;
  void SetLeft(int value) override;
  int Top() const override;
  void SetTop(int value) override;
  int Width() const override;
  void SetWidth(int value) override;
  int Height() const override;
  void SetHeight(int value) override;
  bool Sizeable() const override { return false; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void OnCommand(int id);
  void OnClose();
  void DrawPicture(const DRAWITEMSTRUCT& item) const;
  RECT Outer() const;
  void MoveTo(int left, int top, int width, int height);

  platform::win32::Win32MessagePump& pump_;
  TMainForm* form_ = nullptr;
  HWND window_ = nullptr;
  bool shown_once_ = false;

  HWND cbAuto = nullptr;
  HWND bRS232 = nullptr;
  HWND bGetParams = nullptr;
  HWND bLoadProg = nullptr;
  HWND bSetParams = nullptr;
  HWND Memo = nullptr;
  HWND Image1 = nullptr;
};

}  // namespace qv::win32
