#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_replace.h"

namespace qv::platform {
namespace {

std::error_code LastError() {
  return std::error_code(errno, std::generic_category());
}

std::error_code WriteAll(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? LastError() : std::make_error_code(std::errc::io_error);
    done += static_cast<size_t>(n);
  }
  return {};
}

// The folder's entry for the new name must reach the disk too, or the rename may be lost.
void SyncFolder(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::error_code ReplaceFileContents(const std::filesystem::path& path, const uint8_t* data,
                                    size_t size) {
  std::filesystem::path temp = path;
  temp += ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return LastError();
  std::error_code ec = WriteAll(fd, data, size);
  if (!ec && ::fsync(fd) != 0) ec = LastError();
  if (::close(fd) != 0 && !ec) ec = LastError();
  if (!ec && ::rename(temp.c_str(), path.c_str()) != 0) ec = LastError();
  if (ec) {
    ::unlink(temp.c_str());
    return ec;
  }
  SyncFolder(path);
  return {};
}

}  // namespace qv::platform
