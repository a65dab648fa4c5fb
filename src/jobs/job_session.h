#pragma once

#include <memory>
#include <string>

namespace qv {

class TKV_RS;
class JobUI;
class ProgressDialog;

// The link's line speed for every job.
inline constexpr uint32_t kJobBaudRate = 115200;

// The open port and the progress dialog of one running job. Creating it opens the port
// (SetActive(true), then the job's baud rate); destroying it is the job's clean-up on every way
// out: the dialog is destroyed, then the port is closed. A job declares its working buffers after
// its session, so they are released first, and shows its closing messages before it returns, so
// they appear while the dialog is still on screen and the port still open.
class JobSession {
 public:
  explicit JobSession(TKV_RS& link);
  ~JobSession();
  JobSession(const JobSession&) = delete;
  JobSession& operator=(const JobSession&) = delete;

  // Creates and shows the progress dialog in its connecting state: Cancel visible, the label
  // "Не могу подключиться к МК...", the gauge hidden.
  ProgressDialog& ShowProgress(JobUI& ui);

 private:
  TKV_RS& link_;
  std::unique_ptr<ProgressDialog> progress_;
};

// Starts a working stage: the label, the gauge at 0 and shown, then (when asked) the pending
// window messages processed once so that the dialog is repainted.
void StartStage(ProgressDialog& progress, JobUI& ui, const std::string& label,
                bool process_messages);

}  // namespace qv
