#include "sim/fault_plan.h"

#include <charconv>
#include <limits>

namespace qv::sim {
namespace {

struct KindEntry {
  FaultKind kind;
  std::string_view name;
  std::string_view value_key;  // the key that sets `value`; empty: none
  uint32_t default_value;
  bool value_required;
};

constexpr KindEntry kKinds[] = {
    {FaultKind::kSilent, "silent", "", 0, false},
    {FaultKind::kBusy, "busy", "", 0, false},
    {FaultKind::kChecksum, "checksum", "", 0, false},
    {FaultKind::kShort, "short", "length", 5, false},
    {FaultKind::kTruncate, "truncate", "keep", 0, true},
    {FaultKind::kSurplus, "surplus", "bytes", 3, false},
    {FaultKind::kDelay, "delay", "ms", 0, true},
    {FaultKind::kUnplug, "unplug", "replug-ms", 0, false},
};

const KindEntry* FindKind(std::string_view name) {
  for (const KindEntry& e : kKinds) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

const KindEntry& EntryOf(FaultKind kind) {
  for (const KindEntry& e : kKinds) {
    if (e.kind == kind) return e;
  }
  return kKinds[0];
}

bool ParseNumber(std::string_view text, uint32_t max, uint32_t& out) {
  uint64_t v = 0;
  if (!ParseNumberText(text, max, v)) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

// Splits "a=1,b=2" into pairs; false on an item without "=".
bool SplitPairs(std::string_view text, std::vector<KeyValue>& out) {
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    size_t eq = item.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    out.push_back({item.substr(0, eq), item.substr(eq + 1)});
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
    if (text.empty()) return false;
  }
  return true;
}

bool ParseStatus(const std::vector<KeyValue>& pairs, std::deque<ProgramStatus>& out,
                 std::string& error) {
  uint32_t flags = 0, code = 0, times = 1;
  for (const KeyValue& kv : pairs) {
    uint32_t* target = kv.key == "flags"   ? &flags
                       : kv.key == "code"  ? &code
                       : kv.key == "times" ? &times
                                           : nullptr;
    uint32_t max = kv.key == "times" ? 100000 : 255;
    if (!target) {
      error = "unknown key '" + std::string(kv.key) + "' for status";
      return false;
    }
    if (!ParseNumber(kv.value, max, *target)) {
      error = "bad value '" + std::string(kv.value) + "' for " + std::string(kv.key);
      return false;
    }
  }
  if (times == 0) {
    error = "times must be at least 1";
    return false;
  }
  for (uint32_t i = 0; i < times; ++i) {
    out.push_back({static_cast<uint8_t>(flags), static_cast<uint8_t>(code)});
  }
  return true;
}

bool ParseRule(const KindEntry& kind, const std::vector<KeyValue>& pairs, FaultRule& rule,
               std::string& error) {
  rule.kind = kind.kind;
  rule.value = kind.default_value;
  // A cable is pulled once: after the re-plug the device answers again unless a count says
  // otherwise.
  if (kind.kind == FaultKind::kUnplug) rule.count = 1;
  bool has_value = false;
  for (const KeyValue& kv : pairs) {
    uint32_t parsed = 0;
    bool is_value = !kind.value_key.empty() && kv.key == kind.value_key;
    uint32_t max = kv.key == "cmd" ? 255 : std::numeric_limits<uint32_t>::max();
    if (kv.key != "from" && kv.key != "count" && kv.key != "cmd" && !is_value) {
      error = "unknown key '" + std::string(kv.key) + "' for " + std::string(kind.name);
      return false;
    }
    if (!ParseNumber(kv.value, max, parsed)) {
      error = "bad value '" + std::string(kv.value) + "' for " + std::string(kv.key);
      return false;
    }
    if (kv.key == "from") rule.from = parsed;
    if (kv.key == "count") rule.count = parsed;
    if (kv.key == "cmd") rule.command = static_cast<uint8_t>(parsed);
    if (is_value) {
      rule.value = parsed;
      has_value = true;
    }
  }
  if (rule.from == 0) {
    error = "from counts requests from 1";
    return false;
  }
  if (kind.value_required && !has_value) {
    error = std::string(kind.name) + " needs " + std::string(kind.value_key) + "=N";
    return false;
  }
  if (kind.kind == FaultKind::kShort && rule.value >= 6) {
    error = "short needs a length below 6";
    return false;
  }
  return true;
}

}  // namespace

bool ParseNumberText(std::string_view text, uint64_t max, uint64_t& out) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return ec == std::errc() && end == text.data() + text.size() && out <= max;
}

bool FaultRule::Take(uint32_t number, uint8_t cmd) {
  if (number < from || (command && *command != cmd)) return false;
  if (count != 0 && applied >= count) return false;
  applied++;
  return true;
}

FaultPlan& FaultPlan::Add(FaultRule rule) {
  rules.push_back(rule);
  return *this;
}

bool FaultPlan::Parse(std::string_view rule_text, std::string& error) {
  size_t colon = rule_text.find(':');
  std::string_view name = rule_text.substr(0, colon);
  std::string_view rest = colon == std::string_view::npos ? "" : rule_text.substr(colon + 1);
  std::vector<KeyValue> pairs;
  if (!SplitPairs(rest, pairs)) {
    error = "expected KEY=VALUE pairs separated by commas in '" + std::string(rule_text) + "'";
    return false;
  }
  if (name == "status") return ParseStatus(pairs, program_statuses, error);
  const KindEntry* kind = FindKind(name);
  if (!kind) {
    error = "unknown fault '" + std::string(name) + "'";
    return false;
  }
  FaultRule rule;
  if (!ParseRule(*kind, pairs, rule, error)) return false;
  rules.push_back(rule);
  return true;
}

std::string_view FaultPlan::KindName(FaultKind kind) {
  return EntryOf(kind).name;
}

std::string FaultPlan::Describe(const FaultRule& rule) {
  const KindEntry& e = EntryOf(rule.kind);
  std::string out(e.name);
  out += ":from=" + std::to_string(rule.from);
  if (rule.count) out += ",count=" + std::to_string(rule.count);
  if (rule.command) out += ",cmd=" + std::to_string(*rule.command);
  if (!e.value_key.empty())
    out += "," + std::string(e.value_key) + "=" + std::to_string(rule.value);
  return out;
}

}  // namespace qv::sim
