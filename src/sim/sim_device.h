#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/device_model.h"
#include "sim/fault_plan.h"

namespace qv::sim {

// Wire time of the simulated line. With a baud rate every character costs 11 bits (start bit,
// eight data bits, two stop bits) in both directions; without one (0) bytes take no time.
struct Pacing {
  uint32_t baud = 0;

  bool Paced() const { return baud != 0; }
  // Microseconds one character takes on the wire.
  double CharUs() const { return baud ? 11e6 / baud : 0.0; }
  // Microseconds `n` characters take.
  int64_t BytesUs(size_t n) const;
};

// What goes on the wire in answer to one request: after `delay_ms` (device time and delay
// faults, counted from the moment the request has fully arrived) the `bytes`, each paced. When
// `unplug` is set the port goes away instead, and comes back after `replug_ms` (0: never).
struct WireReply {
  int64_t delay_ms = 0;
  std::vector<uint8_t> bytes;
  bool unplug = false;
  int64_t replug_ms = 0;

  void Clear();
};

// Splits the host's byte stream into request frames by their length byte (0 stands for 256).
// A partial frame followed by a pause longer than `gap_ms` is dropped, as a device's receiver
// drops it, so one broken write does not shift every later frame.
class FrameAssembler {
 public:
  static constexpr int64_t kDefaultGapMs = 100;
  explicit FrameAssembler(int64_t gap_ms = kDefaultGapMs) : gap_ms_(gap_ms) {}

  // Adds one byte received at now_ms; returns true when it completes a frame (then Frame()).
  bool Push(uint8_t byte, int64_t now_ms);
  const uint8_t* Frame() const { return buffer_.data(); }
  size_t FrameSize() const { return size_; }
  // Bytes of an incomplete frame held now.
  size_t Pending() const { return complete_ ? 0 : size_; }
  void Reset();

 private:
  std::array<uint8_t, 256> buffer_{};
  size_t size_ = 0;
  bool complete_ = false;
  int64_t last_ms_ = 0;
  int64_t gap_ms_;
};

// The device model behind its fault plan and timing. Given one complete request frame it
// returns what goes on the wire and when.
class SimDevice {
 public:
  SimDevice() = default;
  explicit SimDevice(FaultPlan plan) { SetPlan(std::move(plan)); }

  // Replaces the plan; its ProgramPage statuses are queued in the model (so are statuses added
  // to Plan() later, before the next request).
  void SetPlan(FaultPlan plan);
  FaultPlan& Plan() { return plan_; }
  DeviceModel& Model() { return model_; }
  const DeviceModel& Model() const { return model_; }

  // Handles one request frame; fills `out` (its buffer is reused, so no allocation per frame
  // once it has grown).
  void Respond(const uint8_t* frame, size_t size, WireReply& out);

  // Wire pacing in both directions.
  Pacing pacing;
  // Milliseconds the device spends on each command before it answers (e.g. 5 for command 20).
  std::array<uint32_t, 256> command_ms{};

 private:
  // Moves the plan's ProgramPage statuses to the end of the model's queue.
  void QueueStatuses();
  // Applies the plan's matching rules to the reply in `out`; false when there is no reply.
  bool ApplyRules(const RequestRecord& record, WireReply& out, bool& execute);

  DeviceModel model_;
  FaultPlan plan_;
  std::vector<FaultRule*> matched_;
};

}  // namespace qv::sim
