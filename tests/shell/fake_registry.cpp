#include "common/exception.h"
#include "fake_views.h"

namespace qv::test {

std::optional<std::string> FakeRegistry::FriendlyName(const std::string& instance) {
  read.push_back(instance);
  for (const auto& [name, friendly] : entries) {
    if (name != instance) continue;
    if (friendly == "!") throw Exception("Invalid data type for 'FriendlyName'");
    return friendly;
  }
  return std::nullopt;
}

}  // namespace qv::test
