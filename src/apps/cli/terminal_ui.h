#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>

#include "apps/cli/connection_cancel.h"
#include "apps/cli/terminal_progress.h"
#include "jobs/job_ui.h"

namespace qv::cli {

// The jobs' user interface on a terminal: the system's failure texts go to stderr, its success
// texts to stdout, progress to stderr; the file dialogs answer with the file named on the command
// line; the question of the restore is asked on the terminal unless --yes answered it.
class TerminalUI final : public JobUI {
 public:
  struct Streams {
    std::ostream& out;     // stdout
    std::ostream& err;     // stderr
    std::istream& in;      // stdin, for the question
    bool err_is_terminal;  // progress as a bar
  };

  TerminalUI(Streams streams, ConnectionCancel& cancel);

  // The file that the file dialogs return; nothing: they are cancelled.
  void SetChosenFile(std::optional<std::filesystem::path> file) { chosen_ = std::move(file); }
  // Whether AskYesNo answers Yes without asking (--yes).
  void SetAssumeYes(bool yes) { assume_yes_ = yes; }

  void ShowError(const std::string& text) override;
  void ShowInfo(const std::string& text) override;
  int AskYesNo(const std::string& text) override;

  std::unique_ptr<ProgressDialog> CreateProgress() override;
  std::optional<std::filesystem::path> ChooseFirmwareFile() override { return chosen_; }
  std::optional<std::filesystem::path> ChooseSettingsFile() override { return chosen_; }
  void ProcessMessages() override {}

  int ErrorsShown() const { return errors_shown_; }
  int InfosShown() const { return infos_shown_; }
  ProgressStream& Progress() { return progress_; }

 private:
  Streams streams_;
  ConnectionCancel& cancel_;
  ProgressStream progress_;
  std::optional<std::filesystem::path> chosen_;
  bool assume_yes_ = false;
  int errors_shown_ = 0;
  int infos_shown_ = 0;
};

// Whether an answer to a yes/no question means yes: "y" or "yes" in any letter case, "д" or "да"
// in lower, upper or title case; blanks around the word are ignored.
bool IsYesAnswer(const std::string& answer);

}  // namespace qv::cli
