#include <string>

#include "platform/process.h"
#include "platform/win32/text_win32.h"
#include "platform/win32/windows_api.h"

namespace qv::platform {
namespace {

// A named mutex held for the life of the process; the system drops it when the process ends,
// however it ends.
class MutexLock final : public InstanceLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override { ::CloseHandle(mutex_); }

 private:
  HANDLE mutex_;
};

}  // namespace

std::filesystem::path ExecutablePath() {
  // GetModuleFileNameW cuts the path to the buffer without saying how long it is: grow the
  // buffer until the whole path fits.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return std::filesystem::path(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& executable_file_name) {
  std::wstring name = win32::Utf8ToWide(executable_file_name);
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return nullptr;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return nullptr;
  }
  return std::make_unique<MutexLock>(mutex);
}

}  // namespace qv::platform
