#pragma once

#include <string>

#include "common/exception.h"

namespace qv {

// Input that the jobs refuse before anything is sent to the device: a damaged file, or a table
// whose entries would send wrong bytes. The jobs show its text as an error and end; the CLI also
// checks a file named on its command line with the same functions before it opens the port.
class InputRefused : public Exception {
 public:
  explicit InputRefused(const std::string& message) : Exception(message) {}
};

}  // namespace qv
