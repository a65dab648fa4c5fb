#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/messages.h"
#include "shell/form_placement.h"
#include "shell/progress_view.h"

namespace qv {

// A file-open dialog as the main window declares it: the chosen file and its path must exist,
// the read-only box is hidden, the dialog is resizable.
struct TOpenDialogSpec {
  // Filter in the form "Description|pattern", for example "Файлы прошивок (*.rom)|*.rom".
  std::string filter;
  // Folder the dialog opens in; empty: the platform's choice (the current directory).
  std::filesystem::path initial_dir;
};

// The main window as a toolkit draws it. The presenter TMainForm drives it; the view calls the
// presenter's handlers (FormShow, FormClose, bRS232Click, cbAutoClick, the three job buttons).
// The message functions (ShowError "Error", ShowInfo "Information", AskYesNo "Confirm") are the
// view's standard message boxes, centred on the screen.
class TMainFormView : public Messages, public TFormPlacement {
 public:
  virtual void SetCaption(const std::string& text) = 0;
  // cbAuto's tick; setting it from here does not call cbAutoClick back.
  virtual void SetAutoChecked(bool checked) = 0;
  virtual void SetRS232Enabled(bool enabled) = 0;
  // bGetParams, bLoadProg and bSetParams together: disabled while a job runs.
  virtual void SetJobButtonsEnabled(bool enabled) = 0;
  // The hidden Memo: the instance list of the last device search.
  virtual void SetMemoLines(const std::vector<std::string>& lines) = 0;
  // Shows a file-open dialog modally; nothing when the user cancels.
  virtual std::optional<std::filesystem::path> ChooseFile(const TOpenDialogSpec& dialog) = 0;
  // Creates the progress dialog's window, not yet shown.
  virtual std::unique_ptr<TProgressFormView> CreateProgressView() = 0;
  // Processes the pending window messages once.
  virtual void ProcessMessages() = 0;
  // The application's top-level error box: the given caption, the text, one OK button.
  virtual void ShowApplicationError(const std::string& caption, const std::string& text) = 0;
};

}  // namespace qv
