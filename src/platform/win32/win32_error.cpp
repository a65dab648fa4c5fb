#include "platform/win32/win32_error.h"

namespace qv::platform::win32 {

std::error_code ErrorCodeOf(DWORD code) {
  return std::error_code(static_cast<int>(code), std::system_category());
}

std::error_code LastErrorCode() {
  return ErrorCodeOf(::GetLastError());
}

bool IsPortGone(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
    case ERROR_IO_PENDING:
    case ERROR_IO_INCOMPLETE:
      return false;
    default:
      // ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_OPERATION_ABORTED, ERROR_GEN_FAILURE,
      // ERROR_DEVICE_NOT_CONNECTED, ERROR_INVALID_HANDLE and the rest: nothing a retry mends.
      return true;
  }
}

}  // namespace qv::platform::win32
