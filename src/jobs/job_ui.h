#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/messages.h"

namespace qv {

// The progress dialog as a job drives it: a stage text, a 0..100 gauge, a Cancel button and the
// flag that the button sets. Destroying the object closes the dialog.
class ProgressDialog {
 public:
  virtual ~ProgressDialog() = default;
  virtual void SetLabel(const std::string& text) = 0;
  virtual void SetGauge(int percent) = 0;
  virtual void ShowGauge(bool visible) = 0;
  // Shows or hides the Cancel button (BitBtn1); once hidden, Cancel can no longer be pressed.
  virtual void ShowCancel(bool visible) = 0;
  virtual bool Cancelled() const = 0;
};

// Everything a job needs from the user interface. The Qt view, the Win32 view and the CLI each
// implement it once; the jobs never see a toolkit.
class JobUI : public Messages {
 public:
  // Creates the progress dialog and shows it, not modal, over the main window.
  virtual std::unique_ptr<ProgressDialog> CreateProgress() = 0;
  // The file-open dialog for firmware images ("Файлы прошивок (*.rom)|*.rom"); nothing when the
  // user cancels.
  virtual std::optional<std::filesystem::path> ChooseFirmwareFile() = 0;
  // The file-open dialog for settings files ("Файлы настроек (*.prmz)|*.prmz").
  virtual std::optional<std::filesystem::path> ChooseSettingsFile() = 0;
  // Lets the application process its pending window messages once.
  virtual void ProcessMessages() = 0;
};

}  // namespace qv
