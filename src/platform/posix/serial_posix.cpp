// Serial ports on POSIX: a COM port is a tty device node (or a pseudo-terminal in tests).

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/port_table.h"

namespace qv::platform {
namespace {

std::error_code LastError() {
  return std::error_code(errno, std::generic_category());
}

struct BaudEntry {
  uint32_t rate;
  speed_t code;
};

constexpr BaudEntry kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000},
};

bool SpeedCode(uint32_t rate, speed_t& code) {
  for (const auto& e : kBauds) {
    if (e.rate == rate) {
      code = e.code;
      return true;
    }
  }
  return false;
}

uint32_t RateOf(speed_t code) {
  for (const auto& e : kBauds) {
    if (e.code == code) return e.rate;
  }
  return 0;
}

// Opens the node and takes it for this process alone. TIOCEXCL keeps other openers out, but not
// root, and the tool often runs as root on a production line; flock on the node holds for every
// process that asks for it, root included, and is released by the kernel when we die.
int OpenExclusive(const std::string& path, std::error_code& ec) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    ec = LastError();
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ec = LastError();
    ::close(fd);
    return -1;
  }
  if (::isatty(fd) && ::ioctl(fd, TIOCEXCL) != 0) {
    ec = LastError();
    ::close(fd);
    return -1;
  }
  return fd;
}

// Gives the node back. The kernel clears TIOCEXCL only at the terminal's last close, and another
// process may hold it open too (the simulator keeps its pty's slave open), so clear it here or
// the next open by anyone but root fails with EBUSY.
void CloseExclusive(int fd) {
  if (::isatty(fd)) (void)::ioctl(fd, TIOCNXCL);
  ::close(fd);
}

// Plain byte transfer: a freshly plugged port starts with echo, line editing and CR/NL
// translation, each of which would corrupt frames. Reads return at once with what has come.
std::error_code MakeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return LastError();
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) return LastError();
  return {};
}

class PosixSerialPort final : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd) {}
  ~PosixSerialPort() override {
    ::tcflush(fd_, TCIOFLUSH);
    CloseExclusive(fd_);
  }

  void SetQueueSizes(uint32_t, uint32_t) override {
    // The tty layer sizes its own buffers; there is nothing to ask for.
  }

  std::error_code GetLineSettings(LineSettings& s) override {
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return LastError();
    s.baud_rate = RateOf(::cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
      case CS5:
        s.data_bits = 5;
        break;
      case CS6:
        s.data_bits = 6;
        break;
      case CS7:
        s.data_bits = 7;
        break;
      default:
        s.data_bits = 8;
        break;
    }
    if (!(tio.c_cflag & PARENB)) {
      s.parity = 0;
    } else if (tio.c_cflag & CMSPAR) {
      s.parity = (tio.c_cflag & PARODD) ? 3 : 4;
    } else {
      s.parity = (tio.c_cflag & PARODD) ? 1 : 2;
    }
    s.stop_bits = (tio.c_cflag & CSTOPB) ? 2 : 0;
    return {};
  }

  std::error_code SetLineSettings(const LineSettings& s) override {
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return LastError();
    speed_t code;
    // A rate the driver does not know keeps the old one; the caller reads back what it took.
    if (SpeedCode(s.baud_rate, code)) {
      ::cfsetispeed(&tio, code);
      ::cfsetospeed(&tio, code);
    }
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    switch (s.data_bits) {
      case 5:
        tio.c_cflag |= CS5;
        break;
      case 6:
        tio.c_cflag |= CS6;
        break;
      case 7:
        tio.c_cflag |= CS7;
        break;
      default:
        tio.c_cflag |= CS8;
        break;
    }
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    switch (s.parity) {
      case 1:
        tio.c_cflag |= PARENB | PARODD;
        break;
      case 2:
        tio.c_cflag |= PARENB;
        break;
      case 3:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
      case 4:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
      default:
        break;
    }
    // One and a half stop bits do not exist here; two is the nearest.
    if (s.stop_bits == 0) {
      tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    } else {
      tio.c_cflag |= CSTOPB;
    }
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return LastError();
    return {};
  }

  void SetImmediateTimeouts() override {
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd_, TCSANOW, &tio);
  }

  void SetDTR() override {
    int bits = TIOCM_DTR;
    // A pseudo-terminal has no modem lines; its refusal does not matter.
    (void)::ioctl(fd_, TIOCMBIS, &bits);
  }

  void Purge(bool rx, bool tx) override {
    // tcflush is costly on some drivers (on a pty it waits for the tty layer's buffer work,
    // about 0.4 ms, on every one of an upload's two thousand sends), so a queue that holds
    // nothing is left alone: discarding an empty queue changes nothing. A byte still on its way
    // through the driver is not counted yet, but a flush could not catch it either.
    rx = rx && QueueHolds(FIONREAD);
    tx = tx && QueueHolds(TIOCOUTQ);
    if (rx && tx) {
      ::tcflush(fd_, TCIOFLUSH);
    } else if (rx) {
      ::tcflush(fd_, TCIFLUSH);
    } else if (tx) {
      ::tcflush(fd_, TCOFLUSH);
    }
  }

  // Whether the queue that the ioctl counts holds bytes; true when the driver cannot say.
  bool QueueHolds(unsigned long request) const {
    int count = 0;
    return ::ioctl(fd_, request, &count) != 0 || count > 0;
  }

  size_t Read(uint8_t* buffer, size_t max, std::error_code& ec) override {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, max);
      if (n > 0) return static_cast<size_t>(n);
      if (n == 0) return 0;
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) ec = LastError();
      return 0;
    }
  }

  std::error_code Write(const uint8_t* data, size_t size) override {
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::write(fd_, data + done, size - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        // The driver's queue is full: wait until it takes more, but never forever.
        pollfd p{fd_, POLLOUT, 0};
        int r = ::poll(&p, 1, 1000);
        if (r > 0 && !(p.revents & (POLLERR | POLLHUP | POLLNVAL))) continue;
        if (r < 0 && errno == EINTR) continue;
        return r == 0 ? std::make_error_code(std::errc::timed_out) : LastError();
      }
      return n < 0 ? LastError() : std::make_error_code(std::errc::io_error);
    }
    return {};
  }

  WaitResult WaitReadable(int64_t timeout_ms) override {
    pollfd p{fd_, POLLIN, 0};
    int ms = timeout_ms <= 0 ? 0 : (timeout_ms > INT_MAX ? INT_MAX : static_cast<int>(timeout_ms));
    int r = ::poll(&p, 1, ms);
    if (r < 0) return errno == EINTR ? WaitResult::kTimeout : WaitResult::kFailed;
    if (r == 0) return WaitResult::kTimeout;
    if (!(p.revents & (POLLERR | POLLHUP | POLLNVAL))) return WaitResult::kReadable;
    // A hung-up terminal (a USB device pulled, a pty whose far end closed) reports POLLIN as well,
    // yet a read returns 0 as if nothing had come: only bytes still queued count as input, or the
    // engine would spin on a wait that returns at once.
    int queued = 0;
    if ((p.revents & POLLIN) && ::ioctl(fd_, FIONREAD, &queued) == 0 && queued > 0) {
      return WaitResult::kReadable;
    }
    return WaitResult::kFailed;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, std::error_code& ec) {
  ec.clear();
  int fd = OpenExclusive(path, ec);
  if (fd < 0) return nullptr;
  if (::isatty(fd)) {
    if (auto err = MakeRaw(fd)) {
      ec = err;
      ::close(fd);
      return nullptr;
    }
  }
  return std::make_unique<PosixSerialPort>(fd);
}

bool ProbeSerialDevice(const std::string& path) {
  std::error_code ec;
  int fd = OpenExclusive(path, ec);
  if (fd < 0) return false;
  CloseExclusive(fd);
  return true;
}

}  // namespace qv::platform
