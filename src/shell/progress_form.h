#pragma once

#include <memory>
#include <string>

#include "jobs/job_ui.h"
#include "shell/progress_view.h"

namespace qv {

// The progress dialog's model: the stage label, the gauge, the Cancel button and the Cancelled
// flag that the button sets. A job creates one, drives it through ProgressDialog and destroys it
// on every way out, which closes the window.
class TProgressForm final : public ProgressDialog, public TProgressFormEvents {
 public:
  static constexpr const char* kCaption = "Progress...";
  static constexpr const char* kDesignLabel = "Прогресс";

  // Binds the view, runs FormCreate and shows the dialog, not modal.
  explicit TProgressForm(std::unique_ptr<TProgressFormView> view);

  void SetLabel(const std::string& text) override;
  void SetGauge(int percent) override;
  void ShowGauge(bool visible) override;
  void ShowCancel(bool visible) override;
  bool Cancelled() const override { return cancelled_; }

  // Sets Cancelled, but only while the Cancel button can be seen: once a job has hidden it the
  // job can no longer be stopped from the dialog.
  void BitBtn1Click() override;
  // Esc presses the Cancel button while it is visible.
  void EscapePressed() override;

 private:
  void FormCreate() { cancelled_ = false; }

  std::unique_ptr<TProgressFormView> view_;
  bool cancelled_ = false;
  bool cancel_visible_ = true;
};

}  // namespace qv
