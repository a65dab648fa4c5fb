#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/fault_plan.h"

namespace qv::devsim {

// The simulator's command line, parsed.
struct Options {
  std::string link_path;
  uint8_t type = 0x21;
  uint16_t version = 0x0405;
  std::string settings_in;
  std::string settings_out;
  uint32_t baud = 0;
  uint32_t program_ms = 0;
  sim::FaultPlan plan;
  bool log = false;
  bool help = false;
};

// Parses argv[1..]. On a bad command line returns false with a one-line reason in `error`.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// The --help text.
std::string Usage();

}  // namespace qv::devsim
