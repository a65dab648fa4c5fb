#pragma once

#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace qv::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
struct TempDir {
  TempDir() {
#ifdef _WIN32
    // Windows has no mkdtemp: random names until one is new.
    std::random_device random;
    do {
      path = std::filesystem::temp_directory_path() / ("qv-shell-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path));
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "qv-shell-XXXXXX").string();
    path = mkdtemp(pattern.data());
#endif
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::filesystem::path operator/(const std::string& name) const {
    return path / name;
  }
  std::filesystem::path path;
};

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace qv::test
