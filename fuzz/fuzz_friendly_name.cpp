// The friendly names of USB entries, as a driver or a user may have set them: any text. The
// parser must pass over names without its markers, give a port number only for a name that has
// both, and refuse a port text that is no number with the system's conversion message.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/exception.h"
#include "fuzz_check.h"
#include "shell/friendly_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  const bool marked =
      name.find("Holtek") != std::string_view::npos && name.find("COM") != std::string_view::npos;
  try {
    auto port = qv::PortOfFriendlyName(name);
    if (port) {
      QV_FUZZ_CHECK(marked);
      // The port text is one or two characters, so the number has at most two digits.
      QV_FUZZ_CHECK(*port >= -9 && *port <= 99);
    } else {
      QV_FUZZ_CHECK(!marked);
    }
  } catch (const qv::Exception& e) {
    QV_FUZZ_CHECK(marked);
    // The port text is the character after the first "COM" and a digit behind it; the message
    // quotes it, and a message box shows the text up to its first NUL, as what() gives it.
    std::string_view rest = name.substr(name.find("COM") + 3);
    const size_t length =
        rest.empty() ? 0 : (rest.size() >= 2 && rest[1] >= '0' && rest[1] <= '9' ? 2 : 1);
    const std::string expected =
        "'" + std::string(rest.substr(0, length)) + "' is not a valid integer value";
    QV_FUZZ_CHECK(std::string(e.what()) == expected.c_str());
  }
  return 0;
}
