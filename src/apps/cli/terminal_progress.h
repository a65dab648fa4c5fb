#pragma once

#include <ostream>
#include <string>

#include "apps/cli/connection_cancel.h"
#include "jobs/job_ui.h"

namespace qv::cli {

// What the progress dialog shows at one moment.
struct ProgressState {
  std::string label;
  int percent = 0;
  bool gauge_visible = false;
};

// The progress line for a terminal: the stage text, then, when the gauge is shown, a bar and the
// percentage ("Загрузка прошивки... [##########--------------------]  33%"). Pure.
std::string RenderProgressBar(const ProgressState& state, int bar_width = 30);
// The progress line for a log or a pipe: the stage text and, with the gauge, the percentage
// ("Загрузка прошивки... 33%"). Empty when there is nothing to say.
std::string RenderProgressPlain(const ProgressState& state);

// The stream that progress goes to (stderr), and whether a bar line is drawn on it and not yet
// ended. Messages call Break() before they print, so they start on a line of their own.
class ProgressStream {
 public:
  ProgressStream(std::ostream& out, bool is_terminal) : out_(out), is_terminal_(is_terminal) {}

  // Shows the state: on a terminal the current line is redrawn; otherwise a line is written when
  // it differs from the last one written.
  void Show(const ProgressState& state);
  // Ends a drawn bar line, so that the next output starts on a fresh line.
  void Break();
  // The next state shown starts a new line even when it equals the last one.
  void Reset() { last_.clear(); }

  std::ostream& Out() { return out_; }
  bool IsTerminal() const { return is_terminal_; }

 private:
  std::ostream& out_;
  bool is_terminal_;
  bool line_open_ = false;
  std::string last_;
};

// The progress dialog of a job on the terminal. Cancel is Ctrl-C (or the connection time-out)
// while the Cancel button would be visible.
class TerminalProgress final : public ProgressDialog {
 public:
  TerminalProgress(ProgressStream& stream, ConnectionCancel& cancel);
  ~TerminalProgress() override;

  void SetLabel(const std::string& text) override;
  void SetGauge(int percent) override;
  void ShowGauge(bool visible) override;
  void ShowCancel(bool visible) override;
  bool Cancelled() const override;

 private:
  ProgressStream& stream_;
  ConnectionCancel& cancel_;
  ProgressState state_;
};

}  // namespace qv::cli
