#include "jobs/job_session.h"

#include "jobs/job_texts.h"
#include "jobs/job_ui.h"
#include "link/KV_RS232.h"

namespace qv {

JobSession::JobSession(TKV_RS& link) : link_(link) {
  link_.SetActive(true);
  link_.SetBaudRate(kJobBaudRate);
}

JobSession::~JobSession() {
  progress_.reset();
  link_.SetActive(false);
}

ProgressDialog& JobSession::ShowProgress(JobUI& ui) {
  progress_ = ui.CreateProgress();
  progress_->ShowCancel(true);
  progress_->SetLabel(texts::kConnecting);
  progress_->ShowGauge(false);
  return *progress_;
}

void StartStage(ProgressDialog& progress, JobUI& ui, const std::string& label,
                bool process_messages) {
  progress.SetLabel(label);
  progress.SetGauge(0);
  progress.ShowGauge(true);
  if (process_messages) ui.ProcessMessages();
}

}  // namespace qv
