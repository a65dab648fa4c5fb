#include "sim/pty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>

namespace qv::sim {
namespace {

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::error_code LastError() {
  return std::error_code(errno, std::generic_category());
}

// Waits on the descriptors for at most timeout_us (negative: without limit), to the microsecond.
int PollUs(pollfd* fds, nfds_t n, int64_t timeout_us) {
  if (timeout_us < 0) return ::ppoll(fds, n, nullptr, nullptr);
  timespec ts{static_cast<time_t>(timeout_us / 1000000),
              static_cast<long>((timeout_us % 1000000) * 1000)};
  return ::ppoll(fds, n, &ts, nullptr);
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Points `link` at `target` in one step: a new symlink beside it, renamed over the old one.
std::error_code MoveSymlink(const std::string& link, const std::string& target) {
  std::string temp = link + ".tmp" + std::to_string(::getpid());
  ::unlink(temp.c_str());
  if (::symlink(target.c_str(), temp.c_str()) != 0) return LastError();
  if (::rename(temp.c_str(), link.c_str()) != 0) {
    std::error_code ec = LastError();
    ::unlink(temp.c_str());
    return ec;
  }
  return {};
}

}  // namespace

PtyDevice::PtyDevice(SimDevice device, Options options)
    : device_(std::move(device)), options_(std::move(options)) {}

PtyDevice::~PtyDevice() {
  Stop();
}

std::error_code PtyDevice::Start() {
  if (thread_.joinable()) return {};
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return LastError();
  if (std::error_code ec = OpenPty()) {
    CloseFd(wake_[0]);
    CloseFd(wake_[1]);
    return ec;
  }
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return {};
}

void PtyDevice::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  Wake();
  thread_.join();
  ClosePty();
  if (!options_.link_path.empty()) ::unlink(options_.link_path.c_str());
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
}

std::string PtyDevice::SlavePath() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return slave_path_;
}

bool PtyDevice::Plugged() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return master_ >= 0;
}

void PtyDevice::Unplug(int64_t replug_after_ms) {
  replug_after_ms_ = replug_after_ms;
  unplug_requested_ = true;
  Wake();
}

void PtyDevice::Replug() {
  replug_requested_ = true;
  Wake();
}

void PtyDevice::Wake() {
  if (wake_[1] < 0) return;
  const char c = 1;
  // A full pipe already holds a wake-up; nothing is lost when this write fails.
  (void)!::write(wake_[1], &c, 1);
}

std::error_code PtyDevice::OpenPty() {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return LastError();
  char name[128];
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::ptsname_r(master, name, sizeof name) != 0) {
    std::error_code ec = LastError();
    ::close(master);
    return ec;
  }
  // The slave stays in the line mode a fresh terminal has (canonical, echo, CR/NL mapping):
  // putting it into raw mode is the tool's work when it opens the port.
  int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave < 0) {
    std::error_code ec = LastError();
    ::close(master);
    return ec;
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  if (!options_.link_path.empty()) {
    if (std::error_code ec = MoveSymlink(options_.link_path, name)) {
      ::close(slave);
      ::close(master);
      return ec;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  master_ = master;
  held_slave_ = slave;
  slave_path_ = name;
  assembler_.Reset();
  return {};
}

void PtyDevice::ClosePty() {
  std::lock_guard<std::mutex> lock(mutex_);
  CloseFd(master_);
  CloseFd(held_slave_);
}

void PtyDevice::Run() {
  while (!stop_) {
    if (unplug_requested_.exchange(false)) {
      ClosePty();
      replug_at_us_ = replug_after_ms_ > 0 ? NowUs() + replug_after_ms_ * 1000 : -1;
    }
    bool replug_due = replug_at_us_ >= 0 && NowUs() >= replug_at_us_;
    if (replug_requested_.exchange(false) || replug_due) {
      replug_at_us_ = -1;
      if (master_ < 0) {
        if (OpenPty()) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        if (options_.on_replug) options_.on_replug(slave_path_);
      }
    }
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master_, POLLIN, 0}};
    nfds_t n = master_ >= 0 ? 2 : 1;
    int64_t timeout_us =
        master_ < 0 && replug_at_us_ >= 0 ? std::max<int64_t>(replug_at_us_ - NowUs(), 0) : -1;
    int r = PollUs(fds, n, timeout_us);
    if (r < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) {
      char drain[64];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    if (n == 2 && fds[1].revents) {
      if (!Serve(NowUs())) ClosePty();
    }
  }
}

bool PtyDevice::Serve(int64_t now_us) {
  uint8_t in[512];
  ssize_t got = ::read(master_, in, sizeof in);
  if (got < 0) return errno == EAGAIN || errno == EINTR;
  if (got == 0) return false;
  for (ssize_t i = 0; i < got; ++i) {
    if (assembler_.Pending() == 0) first_byte_us_ = now_us;
    if (!assembler_.Push(in[i], now_us / 1000)) continue;
    int64_t arrived_us;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      device_.Respond(assembler_.Frame(), assembler_.FrameSize(), reply_);
      if (options_.on_request) options_.on_request(device_.Model().Log().back(), reply_);
      // With pacing the request has fully arrived only when its last character has.
      arrived_us =
          std::max(now_us, first_byte_us_ + device_.pacing.BytesUs(assembler_.FrameSize()));
    }
    if (reply_.unplug) {
      Unplug(reply_.replug_ms);
      return true;
    }
    if (!SendReply(reply_, arrived_us)) return true;
    now_us = NowUs();
  }
  return true;
}

bool PtyDevice::SendReply(const WireReply& reply, int64_t arrived_us) {
  Pacing pacing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pacing = device_.pacing;
  }
  int64_t first_us = arrived_us + reply.delay_ms * 1000;
  size_t sent = 0;
  while (sent < reply.bytes.size()) {
    // Paced: one character at a time, each when its last bit would have arrived.
    size_t chunk = pacing.Paced() ? 1 : reply.bytes.size() - sent;
    int64_t due_us = first_us + pacing.BytesUs(sent + chunk);
    if (!SleepUntil(due_us)) return false;
    ssize_t n = ::write(master_, reply.bytes.data() + sent, chunk);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // The tool is not reading and the pty's queue is full; try again shortly.
      if (!SleepUntil(NowUs() + 1000)) return false;
      continue;
    }
    return false;
  }
  return true;
}

bool PtyDevice::SleepUntil(int64_t until_us) {
  for (;;) {
    if (stop_ || unplug_requested_) return false;
    int64_t left = until_us - NowUs();
    if (left <= 0) return true;
    pollfd p{wake_[0], POLLIN, 0};
    PollUs(&p, 1, left);
    if (p.revents & POLLIN) {
      char drain[64];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
  }
}

}  // namespace qv::sim
