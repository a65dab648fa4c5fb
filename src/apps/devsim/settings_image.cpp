#include "settings_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace qv::devsim {

bool ReadSettingsImage(const std::string& path, sim::DeviceModel::Settings& out,
                       std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() != out.size()) {
    error = path + ": " + std::to_string(bytes.size()) + " bytes, a settings image has " +
            std::to_string(out.size());
    return false;
  }
  std::memcpy(out.data(), bytes.data(), out.size());
  return true;
}

bool WriteSettingsImage(const std::string& path, const sim::DeviceModel::Settings& image,
                        std::string& error) {
  std::string temp = path + ".tmp" + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  size_t done = 0;
  while (ok && done < image.size()) {
    ssize_t n = ::write(fd, image.data() + done, image.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    error = path + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
  }
  return ok;
}

}  // namespace qv::devsim
