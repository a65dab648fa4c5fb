#pragma once

#include <string>
#include <system_error>

#include "common/exception.h"

namespace qv {

// The platform's input/output error for a failed file or folder operation, with the message the
// user has always seen for it ("File access denied", "I/O error 5", ...) and the OS code kept.
Exception InOutError(std::error_code code);

}  // namespace qv
