#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv::test {
namespace {

int64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Moves what is readable on fd into text; false at end of input.
bool Drain(int fd, std::string& text) {
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return true;
    return false;  // end of file, or EIO: the terminal's last user has gone
  }
}

void SetNonBlocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

}  // namespace

ChildResult RunChild(const ChildOptions& options) {
  ChildResult result;
  int out_pipe[2];
  int err_pipe[2] = {-1, -1};
  int in_pipe[2] = {-1, -1};
  int master = -1;
  int slave = -1;
  if (::pipe(out_pipe) != 0) return result;
  if (options.terminal) {
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return result;
  } else if (::pipe(err_pipe) != 0 || ::pipe(in_pipe) != 0) {
    return result;
  }

  int64_t start = NowMs();
  pid_t pid = ::fork();
  if (pid == 0) {
    if (options.terminal) {
      ::setsid();
      ::ioctl(slave, TIOCSCTTY, 0);
      ::dup2(slave, 0);
      ::dup2(slave, 2);
    } else {
      ::dup2(in_pipe[0], 0);
      ::dup2(err_pipe[1], 2);
    }
    ::dup2(out_pipe[1], 1);
    for (int fd = 3; fd < 256; ++fd)
      ::close(fd);
    if (!options.working_dir.empty() && ::chdir(options.working_dir.c_str()) != 0) ::_exit(126);
    std::vector<char*> argv;
    for (const auto& a : options.args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }

  ::close(out_pipe[1]);
  int err_fd = options.terminal ? master : err_pipe[0];
  if (options.terminal) {
    ::close(slave);
  } else {
    ::close(err_pipe[1]);
    ::close(in_pipe[0]);
    if (!options.input.empty()) {
      (void)!::write(in_pipe[1], options.input.data(), options.input.size());
    }
    ::close(in_pipe[1]);
  }
  SetNonBlocking(out_pipe[0]);
  SetNonBlocking(err_fd);

  bool out_open = true;
  bool err_open = true;
  bool typed = !options.terminal || options.input.empty();
  bool interrupted = options.interrupt_after_ms < 0;
  while (out_open || err_open) {
    int64_t now = NowMs() - start;
    if (now > options.time_limit_ms) {
      ::kill(pid, SIGKILL);
      result.timed_out = true;
      break;
    }
    if (!interrupted && now >= options.interrupt_after_ms) {
      ::kill(pid, SIGINT);
      interrupted = true;
    }
    pollfd fds[2] = {{out_pipe[0], static_cast<short>(out_open ? POLLIN : 0), 0},
                     {err_fd, static_cast<short>(err_open ? POLLIN : 0), 0}};
    ::poll(fds, 2, 10);
    if (out_open && (fds[0].revents & (POLLIN | POLLHUP)))
      out_open = Drain(out_pipe[0], result.out);
    if (err_open && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      err_open = Drain(err_fd, result.err);
    }
    // Type the answer once the question is on the terminal.
    if (!typed && !result.err.empty()) {
      (void)!::write(master, options.input.data(), options.input.size());
      typed = true;
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.wall_ms = NowMs() - start;
  ::close(out_pipe[0]);
  ::close(err_fd);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_code = 128 + WTERMSIG(status);
  return result;
}

bool BackgroundProcess::Start(const std::vector<std::string>& args, const std::string& out_file,
                              const std::string& err_file) {
  pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (int fd = 3; fd < 256; ++fd)
      ::close(fd);
    std::vector<char*> argv;
    for (const auto& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  pid_ = pid;
  return true;
}

int BackgroundProcess::Stop() {
  if (pid_ < 0) return -1;
  ::kill(pid_, SIGINT);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string FirstLineOf(const std::string& path, int64_t time_limit_ms) {
  int64_t end = NowMs() + time_limit_ms;
  while (NowMs() < end) {
    std::string text;
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
      char buffer[512];
      ssize_t n;
      while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
      ::close(fd);
    }
    if (size_t nl = text.find('\n'); nl != std::string::npos) return text.substr(0, nl);
    ::usleep(5000);
  }
  return {};
}

}  // namespace qv::test
