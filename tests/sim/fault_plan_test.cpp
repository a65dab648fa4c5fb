#include "sim/fault_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_device.h"
#include "support/link_fixture.h"

namespace qv::sim {
namespace {

std::vector<uint8_t> Request(uint8_t command, const std::vector<uint8_t>& payload = {}) {
  std::vector<uint8_t> body = {244, 0x01, 0x00, command};
  body.insert(body.end(), payload.begin(), payload.end());
  return test::MakeFrame(body);
}

const std::vector<uint8_t> kIdentify = Request(1);
const std::vector<uint8_t> kChunk = Request(10, std::vector<uint8_t>(33, 0));

// One letter for what a reply looks like next to the undamaged one: . as it should be,
// S silent, B busy, C checksum wrong, L length byte below 6, T truncated, P surplus bytes,
// D delayed, U unplugged.
char Outcome(const WireReply& r, const std::vector<uint8_t>& normal) {
  if (r.unplug) return 'U';
  if (r.bytes.empty()) return 'S';
  if (r.delay_ms > 0) return 'D';
  if (r.bytes[0] < 6) return 'L';
  if (r.bytes.size() >= 5 && r.bytes[4] == 255) return 'B';
  if (r.bytes.size() < normal.size()) return 'T';
  if (r.bytes.size() > normal.size()) return 'P';
  if (r.bytes != normal) return 'C';
  return '.';
}

// Runs Identify, PageChunk, Identify, PageChunk, ... (six requests) through a device with the
// given rules and returns one letter per request.
std::string Outcomes(SimDevice& device) {
  std::vector<uint8_t> normal_identify = test::MakeReply(1, {0x21, 0x05, 0x04});
  std::vector<uint8_t> normal_chunk = test::MakeReply(10);
  std::string out;
  WireReply reply;
  for (int i = 0; i < 6; ++i) {
    const std::vector<uint8_t>& req = i % 2 == 0 ? kIdentify : kChunk;
    device.Respond(req.data(), req.size(), reply);
    out += Outcome(reply, i % 2 == 0 ? normal_identify : normal_chunk);
  }
  return out;
}

struct RuleCase {
  std::string rule_text;
  std::string outcomes;  // requests 1..6: Identify, PageChunk, Identify, PageChunk, ...
};

TEST(FaultPlan, RulesApplyFromTheirRequestForTheirCountAndCommand) {
  const std::vector<RuleCase> cases = {
      {"silent:from=3,count=2", "..SS.."},
      {"silent:from=2,cmd=10", ".S.S.S"},
      {"silent:from=3,count=1,cmd=10", "...S.."},
      {"busy:from=5", "....BB"},
      {"checksum:count=1", "C....."},
      {"short:from=2,count=1", ".L...."},
      {"short:from=2,count=1,length=0", ".L...."},
      {"truncate:from=6,keep=4", ".....T"},
      {"surplus:cmd=1,count=2,bytes=3", "P.P..."},
      {"delay:from=4,count=1,ms=150", "...D.."},
      {"unplug:from=3", "..U..."},
      {"unplug:from=3,count=0", "..UUUU"},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.rule_text);
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(plan.Parse(c.rule_text, error)) << error;
    SimDevice device(plan);
    EXPECT_EQ(Outcomes(device), c.outcomes);
  }
}

TEST(FaultPlan, DamageValuesReachTheWire) {
  FaultPlan plan;
  plan.Add(FaultRule(FaultKind::kTruncate, 1, 1, 4))
      .Add(FaultRule(FaultKind::kDelay, 1, 1, 99))
      .Add(FaultRule(FaultKind::kShort, 2, 1, 3))
      .Add(FaultRule(FaultKind::kSurplus, 3, 1, 11))
      .Add(FaultRule(FaultKind::kUnplug, 4, 0, 2000));
  SimDevice device(plan);
  device.command_ms[1] = 5;
  const std::vector<uint8_t> normal = test::MakeReply(1, {0x21, 0x05, 0x04});
  WireReply r;

  // Rules stack: a truncated reply after the device time and the delay.
  device.Respond(kIdentify.data(), kIdentify.size(), r);
  EXPECT_EQ(r.bytes, std::vector<uint8_t>(normal.begin(), normal.begin() + 4));
  EXPECT_EQ(r.delay_ms, 104);

  device.Respond(kIdentify.data(), kIdentify.size(), r);
  EXPECT_EQ(r.bytes[0], 3);
  EXPECT_EQ(r.bytes.size(), normal.size());

  device.Respond(kIdentify.data(), kIdentify.size(), r);
  ASSERT_EQ(r.bytes.size(), normal.size() + 11);
  EXPECT_EQ(std::vector<uint8_t>(r.bytes.begin(), r.bytes.begin() + normal.size()), normal);

  device.Respond(kIdentify.data(), kIdentify.size(), r);
  EXPECT_TRUE(r.unplug);
  EXPECT_EQ(r.replug_ms, 2000);
  EXPECT_TRUE(r.bytes.empty());
}

TEST(FaultPlan, RefusedRequestsAreNotCarriedOut) {
  // Silent, busy and unplug keep the request from the model; damage to the reply does not.
  const std::vector<std::pair<std::string, bool>> cases = {
      {"silent", false},  {"busy", false},           {"unplug", false},
      {"checksum", true}, {"truncate:keep=2", true}, {"delay:ms=5", true},
  };
  for (const auto& [rule_text, carried_out] : cases) {
    SCOPED_TRACE(rule_text);
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(plan.Parse(rule_text, error)) << error;
    SimDevice device(plan);
    WireReply r;
    std::vector<uint8_t> store = Request(7, {0, 0, 4, 0});
    device.Respond(store.data(), store.size(), r);
    EXPECT_EQ(device.Model().store_log.size(), carried_out ? 1u : 0u);
    EXPECT_EQ(device.Model().Log().back().executed, carried_out);
  }
}

TEST(FaultPlan, DamagedRequestGetsNoReplyAndStillCounts) {
  FaultPlan plan;
  plan.Add(FaultRule(FaultKind::kBusy, 2, 1));
  SimDevice device(plan);
  std::vector<uint8_t> broken = kIdentify;
  broken[2] ^= 0x40;
  WireReply r;
  device.Respond(broken.data(), broken.size(), r);
  EXPECT_TRUE(r.bytes.empty());
  // Request 2 is the first good one and gets the busy reply.
  device.Respond(kIdentify.data(), kIdentify.size(), r);
  ASSERT_FALSE(r.bytes.empty());
  EXPECT_EQ(r.bytes[4], 255);
  EXPECT_EQ(device.Model().RequestCount(), 2u);
}

TEST(FaultPlan, ProgramStatusesAnswerTheAttemptsInOrder) {
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(plan.Parse("status:flags=2,times=2", error)) << error;
  ASSERT_TRUE(plan.Parse("status:code=0x04", error)) << error;
  SimDevice device(plan);
  device.Plan().program_statuses.push_back({0, 1});
  std::vector<uint8_t> program = Request(20, {0, 0, 0, 0});
  std::vector<std::vector<uint8_t>> got;
  WireReply r;
  for (int i = 0; i < 5; ++i) {
    device.Respond(program.data(), program.size(), r);
    got.emplace_back(r.bytes.begin() + 5, r.bytes.end() - 1);
  }
  EXPECT_EQ(got, (std::vector<std::vector<uint8_t>>{{2, 0}, {2, 0}, {0, 4}, {0, 1}, {0, 0}}));
  EXPECT_EQ(device.Model().program_log.size(), 1u);
}

TEST(FaultPlan, ParsesTheTextFormAndRefusesBadSpecs) {
  const std::vector<std::pair<std::string, std::string>> good = {
      {"silent:from=3,count=2,cmd=10", "silent:from=3,count=2,cmd=10"},
      {"busy", "busy:from=1"},
      {"delay:ms=150,cmd=0x14", "delay:from=1,cmd=20,ms=150"},
      {"unplug:from=40,replug-ms=2000", "unplug:from=40,count=1,replug-ms=2000"},
      {"unplug:from=4,count=0", "unplug:from=4,replug-ms=0"},
      {"short", "short:from=1,length=5"},
      {"surplus", "surplus:from=1,bytes=3"},
      {"truncate:keep=7", "truncate:from=1,keep=7"},
  };
  for (const auto& [rule_text, described] : good) {
    SCOPED_TRACE(rule_text);
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(plan.Parse(rule_text, error)) << error;
    ASSERT_EQ(plan.rules.size(), 1u);
    EXPECT_EQ(FaultPlan::Describe(plan.rules[0]), described);
  }
  const std::vector<std::string> bad = {
      "bogus",          "truncate",       "delay",          "short:length=6",
      "delay:keep=3",   "silent:from=0",  "silent:cmd=256", "silent:from=",
      "silent:from=3,", "silent:from=3x", "silent:=3",      "status:flags=256",
      "status:times=0", "status:from=2",  "busy:count=-1",  "silent:cmd=0x",
  };
  for (const std::string& rule_text : bad) {
    SCOPED_TRACE(rule_text);
    FaultPlan plan;
    std::string error;
    EXPECT_FALSE(plan.Parse(rule_text, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(plan.rules.empty());
    EXPECT_TRUE(plan.program_statuses.empty());
  }
}

}  // namespace
}  // namespace qv::sim
