#include "apps/cli/terminal_ui.h"

#include <string>

namespace qv::cli {

TerminalUI::TerminalUI(Streams streams, ConnectionCancel& cancel)
    : streams_(streams), cancel_(cancel), progress_(streams.err, streams.err_is_terminal) {}

void TerminalUI::ShowError(const std::string& text) {
  progress_.Break();
  streams_.err << text << '\n' << std::flush;
  progress_.Reset();
  ++errors_shown_;
}

void TerminalUI::ShowInfo(const std::string& text) {
  progress_.Break();
  streams_.out << text << '\n' << std::flush;
  progress_.Reset();
  ++infos_shown_;
}

int TerminalUI::AskYesNo(const std::string& text) {
  if (assume_yes_) return kYes;
  progress_.Break();
  streams_.err << text << " [y/N] " << std::flush;
  std::string answer;
  // End of input, or Ctrl-C while waiting (the read is interrupted), is not a Yes.
  if (!std::getline(streams_.in, answer)) {
    streams_.err << '\n' << std::flush;
    return kNo;
  }
  return IsYesAnswer(answer) ? kYes : kNo;
}

std::unique_ptr<ProgressDialog> TerminalUI::CreateProgress() {
  return std::make_unique<TerminalProgress>(progress_, cancel_);
}

bool IsYesAnswer(const std::string& answer) {
  size_t first = answer.find_first_not_of(" \t\r");
  if (first == std::string::npos) return false;
  size_t last = answer.find_last_not_of(" \t\r");
  std::string word = answer.substr(first, last - first + 1);
  for (char& c : word) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // The Cyrillic answers in UTF-8, lower and upper case.
  return word == "y" || word == "yes" || word == "д" || word == "да" || word == "Д" ||
         word == "Да" || word == "ДА";
}

}  // namespace qv::cli
