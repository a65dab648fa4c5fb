#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

namespace qv::platform {

// The line settings of a port, as the port manager stores and applies them.
struct LineSettings {
  uint32_t baud_rate = 0;
  uint8_t data_bits = 8;
  uint8_t parity = 0;     // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t stop_bits = 0;  // 0 one, 1 one and a half, 2 two
};

enum class WaitResult {
  kReadable,  // input is waiting to be read
  kTimeout,   // the time ran out with no input
  kMessage,   // a window message arrived (Win32); the caller processes messages and waits again
  kFailed,    // the port has failed (device gone): waiting again would return at once
};

// One open serial port, held exclusively. Reads never block; writes hand over every byte before
// they return. Failures are reported through std::error_code, never by exceptions: the port
// manager turns a port that failed into a closed one, and the engine into a silent device.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Driver queue sizes; a request that a platform may ignore.
  virtual void SetQueueSizes(uint32_t rx_bytes, uint32_t tx_bytes) = 0;
  // Reads the line settings the driver holds now.
  virtual std::error_code GetLineSettings(LineSettings& settings) = 0;
  // Writes line settings; the driver may round the baud rate (read it back to know).
  virtual std::error_code SetLineSettings(const LineSettings& settings) = 0;
  // Reads return at once with what has arrived; writes wait until done.
  virtual void SetImmediateTimeouts() = 0;
  virtual void SetDTR() = 0;
  // Discards received bytes (rx) and bytes not yet sent (tx).
  virtual void Purge(bool rx, bool tx) = 0;

  // Up to max bytes already received; 0 when none has arrived. Sets ec when the port has failed.
  virtual size_t Read(uint8_t* buffer, size_t max, std::error_code& ec) = 0;
  // Writes all bytes before returning.
  virtual std::error_code Write(const uint8_t* data, size_t size) = 0;
  // Waits until input is readable or timeout_ms has passed (0: just look).
  virtual WaitResult WaitReadable(int64_t timeout_ms) = 0;
};

// The ports COM1..COM32 of this machine. On Windows port n is the device "\\?\COMn"; on POSIX it
// is the device path that the port table gives for n.
class SerialPlatform {
 public:
  static constexpr int kMaxPort = 32;

  virtual ~SerialPlatform() = default;
  // Whether port n can be opened at this moment; a port held by another program cannot.
  virtual bool Probe(int n) = 0;
  // Opens port n exclusively for reading and writing, in plain byte transfer. Returns null and
  // sets ec when it cannot be opened.
  virtual std::unique_ptr<SerialPort> Open(int n, std::error_code& ec) = 0;
  // The device path of port n, for messages and listings.
  virtual std::string DevicePath(int n) const = 0;
};

}  // namespace qv::platform
