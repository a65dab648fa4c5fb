#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/device_model.h"

namespace qv::sim {

enum class FaultKind {
  kSilent,    // no reply; the request is not carried out
  kBusy,      // a reply with command byte 255 and no payload; the request is not carried out
  kChecksum,  // the reply's checksum byte is wrong
  kShort,     // the reply's length byte is replaced by `value` (below 6; default 5)
  kTruncate,  // only the first `value` bytes of the reply are sent
  kSurplus,   // `value` extra bytes follow the reply frame (default 3)
  kDelay,     // `value` ms pass before the first reply byte
  kUnplug,    // the port goes away on this request (no reply); back after `value` ms, 0: never
};

// One rule: applies to the requests numbered `from` and later (1-based, counting every frame
// the device receives) that match `command` (any when empty), for `count` of them (0: all).
struct FaultRule {
  FaultRule() = default;
  explicit FaultRule(FaultKind k, uint32_t first = 1, uint32_t how_many = 0, uint32_t v = 0)
      : kind(k), from(first), count(how_many), value(v) {}
  // Restricts the rule to one command: FaultRule(FaultKind::kSilent, 3).For(10).
  FaultRule& For(uint8_t cmd) {
    command = cmd;
    return *this;
  }

  FaultKind kind = FaultKind::kSilent;
  uint32_t from = 1;
  uint32_t count = 0;
  std::optional<uint8_t> command;
  uint32_t value = 0;
  // How many requests this rule has applied to so far.
  uint32_t applied = 0;

  // Whether the rule takes request `number` with command byte `cmd`; counts it when it does.
  bool Take(uint32_t number, uint8_t cmd);
};

// The faults a simulated device shows. Rules may stack on one request (a delay and a truncated
// reply); silent, busy and unplug replace the reply altogether.
//
// The text form of one rule (the simulator's --fault option):
//   KIND[:KEY=VALUE,...]   KIND: silent busy checksum short truncate surplus delay unplug status
//   from=K count=N cmd=C   for every kind but status (cmd decimal or 0x hex); count 0: all
//                          from K on, the default for every kind but unplug, whose default is 1
//   ms=M                   delay: the delay; unplug: replug-ms=M, the time until the port is back
//   keep=J                 truncate: bytes kept;  bytes=J surplus: bytes added;  length=L short
//   flags=F code=C times=T status: the next T ProgramPage attempts answer F and C (T default 1)
// e.g. "silent:from=3,count=2,cmd=10", "status:flags=3,code=0", "unplug:from=40,replug-ms=2000".
class FaultPlan {
 public:
  std::vector<FaultRule> rules;
  // Statuses for ProgramPage attempts, in order; the model answers {0, 0} once they run out.
  std::deque<ProgramStatus> program_statuses;

  FaultPlan& Add(FaultRule rule);
  // Parses one rule in the text form above and adds it. On a bad text returns false, sets
  // `error` and leaves the plan unchanged.
  bool Parse(std::string_view rule_text, std::string& error);
  // The text form of a rule, for messages and logs.
  static std::string Describe(const FaultRule& rule);
  static std::string_view KindName(FaultKind kind);
};

// A number in decimal, or in hexadecimal after "0x", no larger than max: the numbers of fault
// rules and of the simulator's command line.
bool ParseNumberText(std::string_view text, uint64_t max, uint64_t& out);

}  // namespace qv::sim
