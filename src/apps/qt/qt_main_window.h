#pragma once

#include <QWidget>
#include <functional>

#include "shell/main_form.h"
#include "shell/main_form_view.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace qv::qt {

// The main window: the port button, the hidden automatic-search box and Memo, the three
// numbered steps and the picture, in the design's bounds; fixed size, centred on the screen.
// Every control's event goes to the presenter TMainForm through its Run (the top-level error
// box).
class QtMainWindow final : public QWidget, public TMainFormView {
 public:
  // What a message box would show; a test answers instead of a user (the result as AskYesNo's).
  struct MessageBox {
    std::string kind;  // "error", "info", "ask" or "application"
    std::string caption;
    std::string text;
  };
  using MessageHook = std::function<int(const MessageBox&)>;
  using FileHook = std::function<std::optional<std::filesystem::path>(const TOpenDialogSpec&)>;

  QtMainWindow();
  void Attach(TMainForm& form) { form_ = &form; }
  void SetMessageHook(MessageHook hook) { message_hook_ = std::move(hook); }
  void SetFileHook(FileHook hook) { file_hook_ = std::move(hook); }

  void ShowError(const std::string& text) override;
  void ShowInfo(const std::string& text) override;
  int AskYesNo(const std::string& text) override;

  int WindowState() const override;
  void SetWindowState(int state) override;
  int Left() const override { return frameGeometry().x(); }
  void SetLeft(int value) override { move(value, frameGeometry().y()); }
  int Top() const override { return frameGeometry().y(); }
  void SetTop(int value) override { move(frameGeometry().x(), value); }
  int Width() const override { return frameGeometry().width(); }
  void SetWidth(int value) override;
  int Height() const override { return frameGeometry().height(); }
  void SetHeight(int value) override;
  bool Sizeable() const override { return false; }

  void SetCaption(const std::string& text) override;
  void SetAutoChecked(bool checked) override;
  void SetRS232Enabled(bool enabled) override;
  void SetJobButtonsEnabled(bool enabled) override;
  void SetMemoLines(const std::vector<std::string>& lines) override;
  std::optional<std::filesystem::path> ChooseFile(const TOpenDialogSpec& dialog) override;
  std::unique_ptr<TProgressFormView> CreateProgressView() override;
  void ProcessMessages() override;
  void ShowApplicationError(const std::string& caption, const std::string& text) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Handle(void (TMainForm::*handler)());
  int Box(const MessageBox& box);
  void CentreOnScreen();

  TMainForm* form_ = nullptr;
  MessageHook message_hook_;
  FileHook file_hook_;
  bool shown_once_ = false;
  QCheckBox* cbAuto;
  QPushButton* bRS232;
  QPushButton* bGetParams;
  QPushButton* bLoadProg;
  QPushButton* bSetParams;
  QPlainTextEdit* Memo;
};

}  // namespace qv::qt
