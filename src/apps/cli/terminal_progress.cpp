#include "apps/cli/terminal_progress.h"

#include <algorithm>

namespace qv::cli {
namespace {

int Clamped(int percent) {
  return std::clamp(percent, 0, 100);
}

std::string PercentText(int percent, bool padded) {
  std::string digits = std::to_string(Clamped(percent));
  if (padded) digits.insert(0, 3 - digits.size(), ' ');
  return digits + "%";
}

}  // namespace

std::string RenderProgressBar(const ProgressState& state, int bar_width) {
  std::string line = state.label;
  if (!state.gauge_visible) return line;
  int filled = Clamped(state.percent) * bar_width / 100;
  if (!line.empty()) line += ' ';
  line += '[';
  line.append(static_cast<size_t>(filled), '#');
  line.append(static_cast<size_t>(bar_width - filled), '-');
  line += "] ";
  line += PercentText(state.percent, true);
  return line;
}

std::string RenderProgressPlain(const ProgressState& state) {
  if (state.label.empty() && !state.gauge_visible) return {};
  std::string line = state.label;
  if (state.gauge_visible) {
    if (!line.empty()) line += ' ';
    line += PercentText(state.percent, false);
  }
  return line;
}

void ProgressStream::Show(const ProgressState& state) {
  if (is_terminal_) {
    // Carriage return and erase to the end of the line: the bar is redrawn in place.
    out_ << '\r' << RenderProgressBar(state) << "\x1b[K" << std::flush;
    line_open_ = true;
    return;
  }
  std::string line = RenderProgressPlain(state);
  if (line.empty() || line == last_) return;
  out_ << line << '\n' << std::flush;
  last_ = std::move(line);
}

void ProgressStream::Break() {
  if (!line_open_) return;
  out_ << '\n' << std::flush;
  line_open_ = false;
}

TerminalProgress::TerminalProgress(ProgressStream& stream, ConnectionCancel& cancel)
    : stream_(stream), cancel_(cancel) {
  // The dialog opens with its Cancel button visible: the connection phase begins.
  stream_.Reset();
  cancel_.BeginConnecting();
}

TerminalProgress::~TerminalProgress() {
  cancel_.Finish();
  stream_.Break();
}

void TerminalProgress::SetLabel(const std::string& text) {
  bool new_stage = text != state_.label;
  state_.label = text;
  if (new_stage && state_.gauge_visible) {
    // The gauge still holds the last stage's value until the job resets it: the new stage's
    // text is shown alone, never beside the old percentage.
    ProgressState label_only = state_;
    label_only.gauge_visible = false;
    stream_.Show(label_only);
    return;
  }
  stream_.Show(state_);
}

void TerminalProgress::SetGauge(int percent) {
  state_.percent = percent;
  if (state_.gauge_visible) stream_.Show(state_);
}

void TerminalProgress::ShowGauge(bool visible) {
  state_.gauge_visible = visible;
  stream_.Show(state_);
}

void TerminalProgress::ShowCancel(bool visible) {
  if (visible && !cancel_.Connecting()) cancel_.BeginConnecting();
  if (!visible) cancel_.BeginWorking();
}

bool TerminalProgress::Cancelled() const {
  return cancel_.ShouldStop();
}

}  // namespace qv::cli
