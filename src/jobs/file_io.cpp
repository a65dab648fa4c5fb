#include "jobs/file_io.h"

#include <cerrno>
#include <fstream>
#include <string>
#include <system_error>

#include "common/exception.h"
#include "jobs/job_texts.h"

namespace qv {
namespace {

// The system's reason for the last failed stream operation; errno is set by the C library calls
// under the stream, and EIO stands in when a library gave none.
std::error_code LastStreamError() {
  return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

[[noreturn]] void Fail(const char* what, const std::filesystem::path& path, std::error_code ec) {
  throw Exception(std::string(what) + PathText(path) + ": " + ec.message(), ec);
}

}  // namespace

std::string PathText(const std::filesystem::path& path) {
  std::u8string u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec)
    Fail(texts::kCannotReadFile, path, ec);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    Fail(texts::kCannotReadFile, path, LastStreamError());
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<uintmax_t>(in.gcount()) != size) {
    Fail(texts::kCannotReadFile, path, LastStreamError());
  }
  return bytes;
}

void WriteFileReplacing(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::path temp = path;
  temp += ".tmp";
  errno = 0;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
      out.close();
    }
    if (!out) {
      std::error_code reason = LastStreamError();
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      Fail(texts::kCannotWriteFile, path, reason);
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    Fail(texts::kCannotWriteFile, path, ec);
  }
}

}  // namespace qv
