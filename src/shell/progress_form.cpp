#include "shell/progress_form.h"

#include <algorithm>

namespace qv {

TProgressForm::TProgressForm(std::unique_ptr<TProgressFormView> view) : view_(std::move(view)) {
  view_->Bind(*this);
  FormCreate();
  view_->Show();
}

void TProgressForm::SetLabel(const std::string& text) {
  view_->SetLabelText(text);
}

void TProgressForm::SetGauge(int percent) {
  view_->SetGaugePosition(std::clamp(percent, 0, 100));
}

void TProgressForm::ShowGauge(bool visible) {
  view_->SetGaugeVisible(visible);
}

void TProgressForm::ShowCancel(bool visible) {
  cancel_visible_ = visible;
  view_->SetCancelVisible(visible);
}

void TProgressForm::BitBtn1Click() {
  if (cancel_visible_) cancelled_ = true;
}

void TProgressForm::EscapePressed() {
  if (cancel_visible_) BitBtn1Click();
}

}  // namespace qv
