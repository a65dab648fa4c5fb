#pragma once

#include <string>

namespace qv {

// The only way the program shows a message to the user. Each call is modal: it returns when the
// user has closed the box. The desktop views show the platform's message box; the CLI writes to
// its terminal; tests record the calls.
class Messages {
 public:
  // The value AskYesNo gives when the user pressed Yes; callers go on only on this value.
  static constexpr int kYes = 6;
  static constexpr int kNo = 7;

  virtual ~Messages() = default;
  virtual void ShowError(const std::string& text) = 0;
  virtual void ShowInfo(const std::string& text) = 0;
  virtual int AskYesNo(const std::string& text) = 0;
};

}  // namespace qv
