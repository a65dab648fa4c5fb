// Serial ports on Windows. A port is opened for overlapped input and output so that the wait for
// reply bytes can block on a pending one-byte read together with the thread's message queue
// (MsgWaitForMultipleObjects): a reply byte or a window message wakes the wait the moment it
// arrives. A loop of Sleep(1) would cost a whole timer period, 15.6 ms by default, per wait.
//
// The read time-outs are set so that a read returns at once with the bytes already received and,
// when there are none, waits for the first one (MAXDWORD, MAXDWORD, constant). Read() only ever
// asks for bytes that are already there, so it never blocks; only the wait's own read waits.
// WaitCommEvent(EV_RXCHAR) would be the other way, but wine's serial layer fails it on every
// pseudo-terminal (it needs the modem status lines), and the tests run under wine.

#include "platform/win32/serial_win32.h"

#include <algorithm>
#include <cctype>

#include "platform/port_table.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/windows_api.h"

#include <mmsystem.h>

namespace qv::platform {
namespace win32 {
namespace {

thread_local bool t_wake_for_messages = false;

// The longest a frame may take to leave: the port's own write time-outs are off (a write waits
// until every byte is handed over), but a device that vanished mid-write must not hang the
// program forever.
constexpr DWORD kWriteLimitMs = 10000;
// How long Read() waits for the wait's pending read to hand over its byte when the driver already
// shows bytes queued behind it.
constexpr DWORD kHandOverMs = 100;

bool IsBareComName(const std::string& path) {
  if (path.size() < 4 || path.size() > 6) return false;
  for (int i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(path[i])) != "COM"[i]) return false;
  }
  return std::all_of(path.begin() + 3, path.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool IsValid(HANDLE h) {
  return h != INVALID_HANDLE_VALUE && h != nullptr;
}

// Plain byte transfer. A port may come with XON/XOFF flow control on (wine's ports on a
// pseudo-terminal always do, and a driver keeps what the last program set): the device's frames
// then lose every 0x11 and 0x13 they carry, and a 0x13 from the device stops our sending for
// good. The null stripping, the error character and abort-on-error would corrupt or stall
// frames as well. Everything else (rates, hardware lines) stays as the port has it.
std::error_code MakePlainBytes(HANDLE handle) {
  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  if (!::GetCommState(handle, &dcb)) return LastErrorCode();
  dcb.fBinary = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fNull = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fAbortOnError = FALSE;
  if (!::SetCommState(handle, &dcb)) return LastErrorCode();
  return {};
}

// An OVERLAPPED with its own manual-reset event, released with it.
class Overlapped {
 public:
  Overlapped() { ov_.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~Overlapped() {
    if (ov_.hEvent) ::CloseHandle(ov_.hEvent);
  }
  Overlapped(const Overlapped&) = delete;
  Overlapped& operator=(const Overlapped&) = delete;

  bool Ok() const { return ov_.hEvent != nullptr; }
  OVERLAPPED* Get() { return &ov_; }
  HANDLE Event() const { return ov_.hEvent; }
  bool Done() const { return HasOverlappedIoCompleted(&ov_); }
  // Makes it ready for the next operation.
  OVERLAPPED* Fresh() {
    HANDLE event = ov_.hEvent;
    ov_ = OVERLAPPED{};
    ov_.hEvent = event;
    ::ResetEvent(event);
    return &ov_;
  }

 private:
  OVERLAPPED ov_{};
};

class Win32SerialPort final : public SerialPort {
 public:
  explicit Win32SerialPort(HANDLE handle) : handle_(handle) {
    // While a port is open the link measures time-outs of a few milliseconds; ask the system
    // timer for 1 ms resolution for as long as the port is held.
    ::timeBeginPeriod(1);
  }

  ~Win32SerialPort() override {
    CancelPendingRead();
    ::CloseHandle(handle_);
    ::timeEndPeriod(1);
  }

  bool Ok() const { return io_.Ok() && wait_.Ok(); }

  void SetQueueSizes(uint32_t rx_bytes, uint32_t tx_bytes) override {
    ::SetupComm(handle_, rx_bytes, tx_bytes);
  }

  std::error_code GetLineSettings(LineSettings& s) override {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!::GetCommState(handle_, &dcb)) return LastErrorCode();
    s.baud_rate = dcb.BaudRate;
    s.data_bits = dcb.ByteSize;
    // The port manager's parity and stop-bit codes are the DCB's own
    // (NOPARITY..SPACEPARITY, ONESTOPBIT..TWOSTOPBITS).
    s.parity = dcb.Parity;
    s.stop_bits = dcb.StopBits;
    return {};
  }

  std::error_code SetLineSettings(const LineSettings& s) override {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!::GetCommState(handle_, &dcb)) return LastErrorCode();
    dcb.BaudRate = s.baud_rate;
    dcb.ByteSize = s.data_bits;
    dcb.Parity = s.parity;
    dcb.StopBits = s.stop_bits;
    if (!::SetCommState(handle_, &dcb)) return LastErrorCode();
    return {};
  }

  void SetImmediateTimeouts() override {
    // A read returns at once with what has arrived, or waits for the first byte when nothing
    // has; writes have no time-out. Read() asks only for bytes already there.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = MAXDWORD - 1;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 0;
    ::SetCommTimeouts(handle_, &t);
  }

  void SetDTR() override { ::EscapeCommFunction(handle_, SETDTR); }

  void Purge(bool rx, bool tx) override {
    if (rx) {
      // A byte the wait's read has taken counts as received: it goes with the rest.
      CancelPendingRead();
      have_byte_ = false;
      ::PurgeComm(handle_, PURGE_RXCLEAR);
    }
    if (tx) ::PurgeComm(handle_, PURGE_TXCLEAR);
  }

  size_t Read(uint8_t* buffer, size_t max, std::error_code& ec) override {
    if (max == 0) return 0;
    if (read_pending_ && !HandOver(ec)) return 0;
    size_t got = 0;
    if (have_byte_) {
      buffer[got++] = byte_;
      have_byte_ = false;
    }
    DWORD queued = 0;
    if (got == max || !Queued(queued, ec) || queued == 0) return got;
    DWORD want = static_cast<DWORD>(std::min<size_t>(max - got, queued));
    DWORD n = 0;
    if (!::ReadFile(handle_, buffer + got, want, &n, io_.Fresh())) {
      DWORD err = ::GetLastError();
      if (err != ERROR_IO_PENDING || !::GetOverlappedResult(handle_, io_.Get(), &n, TRUE)) {
        ec = LastErrorOr(err);
        return got;
      }
    }
    return got + n;
  }

  std::error_code Write(const uint8_t* data, size_t size) override {
    DWORD sent = 0;
    if (::WriteFile(handle_, data, static_cast<DWORD>(size), &sent, io_.Fresh())) {
      return sent == size ? std::error_code() : ErrorCodeOf(ERROR_WRITE_FAULT);
    }
    DWORD err = ::GetLastError();
    if (err != ERROR_IO_PENDING) return ErrorCodeOf(err);
    if (::WaitForSingleObject(io_.Event(), kWriteLimitMs) != WAIT_OBJECT_0) {
      ::CancelIoEx(handle_, io_.Get());
      ::GetOverlappedResult(handle_, io_.Get(), &sent, TRUE);
      return ErrorCodeOf(ERROR_TIMEOUT);
    }
    if (!::GetOverlappedResult(handle_, io_.Get(), &sent, FALSE)) return LastErrorCode();
    return sent == size ? std::error_code() : ErrorCodeOf(ERROR_WRITE_FAULT);
  }

  WaitResult WaitReadable(int64_t timeout_ms) override {
    if (have_byte_) return WaitResult::kReadable;
    if (read_pending_) {
      if (wait_.Done()) return Harvest();
    } else {
      std::error_code ec;
      DWORD queued = 0;
      if (!Queued(queued, ec)) return WaitResult::kFailed;
      if (queued > 0) return WaitResult::kReadable;
    }
    if (timeout_ms <= 0) return WaitResult::kTimeout;
    if (!read_pending_) {
      // The wait's read stays pending across calls when a message or the time-out woke us
      // first: the next wait picks it up instead of starting another.
      if (::ReadFile(handle_, &byte_, 1, nullptr, wait_.Fresh())) return Harvest();
      if (::GetLastError() != ERROR_IO_PENDING) return WaitResult::kFailed;
      read_pending_ = true;
    }
    return Block(timeout_ms);
  }

 private:
  static std::error_code LastErrorOr(DWORD fallback) {
    DWORD err = ::GetLastError();
    return ErrorCodeOf(err != ERROR_SUCCESS ? err : fallback);
  }

  bool Queued(DWORD& queued, std::error_code& ec) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handle_, &errors, &status)) {
      ec = LastErrorCode();
      return false;
    }
    queued = status.cbInQue;
    return true;
  }

  WaitResult Block(int64_t timeout_ms) {
    DWORD ms = timeout_ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(timeout_ms);
    HANDLE event = wait_.Event();
    DWORD r = t_wake_for_messages ? ::MsgWaitForMultipleObjects(1, &event, FALSE, ms, QS_ALLINPUT)
                                  : ::WaitForSingleObject(event, ms);
    if (r == WAIT_TIMEOUT) return WaitResult::kTimeout;
    if (r == WAIT_OBJECT_0 + 1 && t_wake_for_messages) return WaitResult::kMessage;
    if (r != WAIT_OBJECT_0) return WaitResult::kFailed;
    return Harvest();
  }

  // Takes the result of the wait's read once it has completed. Under the port's time-outs that
  // read ends with no byte only when the port has failed (the device went away).
  WaitResult Harvest() {
    read_pending_ = false;
    DWORD n = 0;
    if (!::GetOverlappedResult(handle_, wait_.Get(), &n, FALSE) || n == 0) {
      return WaitResult::kFailed;
    }
    have_byte_ = true;
    return WaitResult::kReadable;
  }

  // Before the queue is read, the byte of the wait's pending read must be in hand: it came
  // before anything queued behind it. Returns false when nothing can be read yet.
  bool HandOver(std::error_code& ec) {
    if (!wait_.Done()) {
      DWORD queued = 0;
      if (!Queued(queued, ec) || queued == 0) return false;
      if (::WaitForSingleObject(wait_.Event(), kHandOverMs) != WAIT_OBJECT_0) return false;
    }
    if (Harvest() == WaitResult::kFailed) {
      ec = LastErrorOr(ERROR_READ_FAULT);
      return false;
    }
    return true;
  }

  // The pending read writes into byte_ and wait_ until it completes; it must be over before
  // they are reused or go away.
  void CancelPendingRead() {
    if (!read_pending_) return;
    ::CancelIoEx(handle_, wait_.Get());
    DWORD unused = 0;
    ::GetOverlappedResult(handle_, wait_.Get(), &unused, TRUE);
    read_pending_ = false;
  }

  HANDLE handle_;
  Overlapped io_;
  Overlapped wait_;
  uint8_t byte_ = 0;
  bool have_byte_ = false;
  bool read_pending_ = false;
};

}  // namespace

std::string DevicePathForOpen(const std::string& path) {
  return IsBareComName(path) ? "\\\\.\\" + path : path;
}

void SetWaitsWakeForMessages(bool wake) {
  t_wake_for_messages = wake;
}
bool WaitsWakeForMessages() {
  return t_wake_for_messages;
}

}  // namespace win32

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, std::error_code& ec) {
  ec.clear();
  std::string device = win32::DevicePathForOpen(path);
  HANDLE h = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (!win32::IsValid(h)) {
    ec = win32::LastErrorCode();
    return nullptr;
  }
  auto port = std::make_unique<win32::Win32SerialPort>(h);
  if (!port->Ok()) {
    ec = win32::LastErrorCode();
    return nullptr;
  }
  if (auto err = win32::MakePlainBytes(h)) {
    ec = err;
    return nullptr;
  }
  return port;
}

bool ProbeSerialDevice(const std::string& path) {
  std::string device = win32::DevicePathForOpen(path);
  // Access 0: a probe asks for no rights, it only finds out whether the port can be had now.
  HANDLE h =
      ::CreateFileA(device.c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!win32::IsValid(h)) return false;
  ::CloseHandle(h);
  return true;
}

}  // namespace qv::platform
