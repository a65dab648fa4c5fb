// The ini file beside the executable, as a user or an installer may have edited it: any bytes.
// Reading must never fail, a value written must read back, and integer text must parse to the
// same value after it is printed again.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "common/ini_file.h"
#include "fuzz_check.h"

namespace {

// Each run writes the file twice; a folder in memory keeps that cheap where there is one.
std::string TempPath() {
  const char* folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(folder) + "/qv_fuzz_ini_" + std::to_string(::getpid()) + ".ini";
}

void CheckIntegerText(std::string_view text) {
  auto value = qv::ParseIniInteger(text);
  if (!value) return;
  QV_FUZZ_CHECK(qv::ParseIniInteger(std::to_string(*value)) == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckIntegerText(text);

  const std::string path = TempPath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  qv::TIniFile ini(path);
  (void)ini.ReadBool("Common", "AutoDetect", true);
  (void)ini.ReadString("MainWindow", "State", "");
  for (const auto& key : ini.ReadSectionKeys("Ports")) {
    CheckIntegerText(ini.ReadString("Ports", key, ""));
  }

  // Whatever the file held, the port number written is the one read back, by this object and
  // by a fresh one reading the file from disk.
  const int32_t before = ini.ReadInteger("RS232", "Port", -1);
  ini.WriteInteger("RS232", "Port", before == 7 ? 8 : 7);
  const int32_t expected = before == 7 ? 8 : 7;
  QV_FUZZ_CHECK(ini.ReadInteger("RS232", "Port", -1) == expected);
  qv::TIniFile reread(path);
  QV_FUZZ_CHECK(reread.ReadInteger("RS232", "Port", -1) == expected);
  ::unlink(path.c_str());
  return 0;
}
