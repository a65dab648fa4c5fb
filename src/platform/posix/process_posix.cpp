#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/process.h"

namespace qv::platform {
namespace {

// An open file with an exclusive flock on it. The kernel drops the lock when the descriptor is
// closed, and so when the process ends in any way, a crash or a kill included.
class FlockInstanceLock final : public InstanceLock {
 public:
  explicit FlockInstanceLock(int fd) : fd_(fd) {}
  ~FlockInstanceLock() override { ::close(fd_); }

 private:
  int fd_;
};

// The lock file's folder: the user's runtime folder, else /tmp (where the user id in the file's
// name keeps the users apart).
std::string LockPath(const std::string& executable_file_name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/" + executable_file_name + ".lock";
  return "/tmp/" + executable_file_name + "." + std::to_string(::getuid()) + ".lock";
}

}  // namespace

std::filesystem::path ExecutablePath() {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : path;
}

std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& executable_file_name) {
  if (executable_file_name.empty() || executable_file_name.find('/') != std::string::npos) {
    return nullptr;
  }
  // O_NOFOLLOW: a symbolic link planted under the lock's name is refused, not followed.
  int fd = ::open(LockPath(executable_file_name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                  0600);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FlockInstanceLock>(fd);
}

}  // namespace qv::platform
