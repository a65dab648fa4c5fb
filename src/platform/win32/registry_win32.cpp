#include "platform/win32/registry_win32.h"

#include "common/exception.h"
#include "platform/win32/win32_error.h"

namespace qv::platform::win32 {
namespace {

// An open registry key, closed on every way out of the search, errors included.
class RegKey {
 public:
  RegKey(HKEY root, const std::string& path) {
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~RegKey() {
    if (key_) ::RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  explicit operator bool() const { return key_ != nullptr; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

constexpr const char* kFriendlyName = "FriendlyName";

}  // namespace

RegistryDeviceRegistry::RegistryDeviceRegistry(HKEY root, std::string device_key)
    : root_(root), device_key_(std::move(device_key)) {}

std::vector<std::string> RegistryDeviceRegistry::InstanceNames() {
  std::vector<std::string> names;
  RegKey key(root_, device_key_);
  if (!key) return names;
  DWORD count = 0;
  DWORD longest = 0;
  if (::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return names;
  }
  std::string name(longest + 1, '\0');
  for (DWORD i = 0; i < count; ++i) {
    DWORD size = static_cast<DWORD>(name.size());
    LONG r = ::RegEnumKeyExA(key.Get(), i, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r == ERROR_SUCCESS) names.emplace_back(name.data(), size);
  }
  return names;
}

std::optional<std::string> RegistryDeviceRegistry::FriendlyName(const std::string& instance) {
  RegKey key(root_, device_key_ + "\\" + instance);
  if (!key) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  LONG r = ::RegQueryValueExA(key.Get(), kFriendlyName, nullptr, &type, nullptr, &size);
  if (r == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (r != ERROR_SUCCESS) {
    throw Exception("Failed to get data for '" + std::string(kFriendlyName) + "'", ErrorCodeOf(r));
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    throw Exception("Invalid data type for '" + std::string(kFriendlyName) + "'",
                    ErrorCodeOf(ERROR_INVALID_DATATYPE));
  }
  std::string text(size, '\0');
  r = ::RegQueryValueExA(key.Get(), kFriendlyName, nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &size);
  if (r != ERROR_SUCCESS) {
    throw Exception("Failed to get data for '" + std::string(kFriendlyName) + "'", ErrorCodeOf(r));
  }
  // The stored size counts the terminating zero when there is one; a value written without it
  // is taken as it stands.
  text.resize(size);
  while (!text.empty() && text.back() == '\0')
    text.pop_back();
  return text;
}

}  // namespace qv::platform::win32
