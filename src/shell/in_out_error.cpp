#include "shell/in_out_error.h"

#include <cerrno>

namespace qv {
namespace {

std::string InOutText(std::error_code code) {
  if (code.category() == std::generic_category() || code.category() == std::system_category()) {
    switch (code.value()) {
      case ENOENT:
      case ENOTDIR:
        return "File not found";
      case EACCES:
      case EPERM:
      case EROFS:
        return "File access denied";
      case ENOSPC:
        return "Disk full";
      default:
        break;
    }
  }
  return "I/O error " + std::to_string(code.value());
}

}  // namespace

Exception InOutError(std::error_code code) {
  return Exception(InOutText(code), code);
}

}  // namespace qv
