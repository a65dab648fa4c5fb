#include <windows.h>

#include <algorithm>

#include "platform/file_replace.h"

namespace qv::platform {
namespace {

std::error_code LastError() {
  return std::error_code(static_cast<int>(::GetLastError()), std::system_category());
}

}  // namespace

std::error_code ReplaceFileContents(const std::filesystem::path& path, const uint8_t* data,
                                    size_t size) {
  std::filesystem::path temp = path;
  temp += L".tmp";
  HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  std::error_code ec;
  size_t done = 0;
  while (!ec && done < size) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, data + done, chunk, &written, nullptr) || written == 0) {
      ec = LastError();
      break;
    }
    done += written;
  }
  if (!ec && !::FlushFileBuffers(file)) ec = LastError();
  if (!::CloseHandle(file) && !ec) ec = LastError();
  if (!ec && !::MoveFileExW(temp.c_str(), path.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ec = LastError();
  }
  if (ec) ::DeleteFileW(temp.c_str());
  return ec;
}

}  // namespace qv::platform
