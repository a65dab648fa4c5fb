#include "sim/sim_device.h"

#include <algorithm>
#include <cmath>

namespace qv::sim {

int64_t Pacing::BytesUs(size_t n) const {
  return static_cast<int64_t>(std::llround(static_cast<double>(n) * CharUs()));
}

void WireReply::Clear() {
  delay_ms = 0;
  bytes.clear();
  unplug = false;
  replug_ms = 0;
}

bool FrameAssembler::Push(uint8_t byte, int64_t now_ms) {
  if (complete_) Reset();
  // A receiver that hears nothing for a while forgets the frame it had begun.
  if (size_ > 0 && now_ms - last_ms_ > gap_ms_) size_ = 0;
  last_ms_ = now_ms;
  buffer_[size_++] = byte;
  size_t expected = buffer_[0] == 0 ? 256 : buffer_[0];
  if (size_ < expected) return false;
  complete_ = true;
  return true;
}

void FrameAssembler::Reset() {
  size_ = 0;
  complete_ = false;
}

void SimDevice::SetPlan(FaultPlan plan) {
  plan_ = std::move(plan);
  QueueStatuses();
}

void SimDevice::QueueStatuses() {
  for (const ProgramStatus& s : plan_.program_statuses)
    model_.program_statuses.push_back(s);
  plan_.program_statuses.clear();
}

void SimDevice::Respond(const uint8_t* frame, size_t size, WireReply& out) {
  out.Clear();
  RequestRecord& record = model_.Receive(frame, size);
  // A damaged frame gets no reply, whatever the plan says.
  if (!record.checksum_ok) return;
  bool execute = true;
  if (!ApplyRules(record, out, execute)) return;
  // Statuses added to the plan after it was set answer the attempts after those queued before.
  QueueStatuses();
  if (execute && !model_.Execute(record, out.bytes)) {
    out.bytes.clear();
    return;
  }
  out.delay_ms += command_ms[record.command];
  // Damage to the reply, in a fixed order so that stacked rules give one result.
  for (const FaultRule* rule : matched_) {
    if (rule->kind == FaultKind::kChecksum)
      out.bytes.back() = static_cast<uint8_t>(out.bytes.back() + 1);
  }
  for (const FaultRule* rule : matched_) {
    if (rule->kind == FaultKind::kShort) out.bytes[0] = static_cast<uint8_t>(rule->value);
  }
  for (const FaultRule* rule : matched_) {
    if (rule->kind == FaultKind::kTruncate && rule->value < out.bytes.size()) {
      out.bytes.resize(rule->value);
    }
  }
  for (const FaultRule* rule : matched_) {
    if (rule->kind != FaultKind::kSurplus || out.bytes.empty()) continue;
    // The surplus repeats the reply, as a late duplicate would: a host that skipped its purge
    // would take it for the next reply.
    size_t n = out.bytes.size();
    for (uint32_t i = 0; i < rule->value; ++i)
      out.bytes.push_back(out.bytes[i % n]);
  }
}

bool SimDevice::ApplyRules(const RequestRecord& record, WireReply& out, bool& execute) {
  matched_.clear();
  for (FaultRule& rule : plan_.rules) {
    if (rule.Take(record.number, record.command)) matched_.push_back(&rule);
  }
  bool busy = false;
  for (const FaultRule* rule : matched_) {
    switch (rule->kind) {
      case FaultKind::kUnplug:
        out.unplug = true;
        out.replug_ms = rule->value;
        return false;
      case FaultKind::kSilent:
        return false;
      case FaultKind::kBusy:
        busy = true;
        break;
      case FaultKind::kDelay:
        out.delay_ms += rule->value;
        break;
      default:
        break;
    }
  }
  if (busy) {
    // A busy device refuses the request: it answers with command byte 255 and does nothing.
    DeviceModel::BuildReply(DeviceModel::kBusyCommand, nullptr, 0, out.bytes);
    execute = false;
  }
  return true;
}

}  // namespace qv::sim
