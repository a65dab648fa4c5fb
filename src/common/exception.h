#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace qv {

// The application's general error: a message text for the user (UTF-8, usually Russian) and,
// where an operating-system call failed, the OS error code kept beside it.
// The device link raises it for every failed exchange; the jobs show its text.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  Exception(const std::string& message, std::error_code code)
      : std::runtime_error(message), code_(code) {}

  const char* Message() const noexcept { return what(); }
  std::error_code Code() const noexcept { return code_; }

 private:
  std::error_code code_;
};

}  // namespace qv
