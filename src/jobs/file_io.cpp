#include "jobs/file_io.h"

#include <cerrno>
#include <fstream>
#include <string>
#include <system_error>

#include "common/exception.h"
#include "jobs/job_texts.h"
#include "platform/file_replace.h"

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
  if (ec) Fail(texts::kCannotReadFile, path, ec);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(texts::kCannotReadFile, path, LastStreamError());
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<uintmax_t>(in.gcount()) != size) {
    Fail(texts::kCannotReadFile, path, LastStreamError());
  }
  return bytes;
}

void WriteFileReplacing(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  if (std::error_code ec = platform::ReplaceFileContents(path, bytes.data(), bytes.size()))
    Fail(texts::kCannotWriteFile, path, ec);
}

}  // namespace qv
