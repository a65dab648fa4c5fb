#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace qv::platform {

// The full path of the running executable.
std::filesystem::path ExecutablePath();

// A lock held for the life of the process, one per executable name; the system releases it when
// the process dies, however it dies.
class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
};

// Takes the lock named after the executable's file name; null when another copy holds it or it
// cannot be made.
std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& executable_file_name);

}  // namespace qv::platform
