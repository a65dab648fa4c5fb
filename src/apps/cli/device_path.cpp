#include "apps/cli/device_path.h"

namespace qv::cli {
namespace {

bool IsBarePortName(const std::string& text) {
  if (text.size() < 4 || text.size() > 6) return false;
  for (int i = 0; i < 3; ++i) {
    if ((text[i] & ~0x20) != "COM"[i]) return false;
  }
  for (size_t i = 3; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return text[3] != '0';
}

}  // namespace

PathStyle ThisSystemPathStyle() {
#ifdef _WIN32
  return PathStyle::kWindows;
#else
  return PathStyle::kPosix;
#endif
}

std::string DevicePathFromArgument(const std::string& argument, PathStyle style) {
  if (style == PathStyle::kWindows && IsBarePortName(argument)) {
    return "\\\\.\\COM" + argument.substr(3);
  }
  return argument;
}

}  // namespace qv::cli
