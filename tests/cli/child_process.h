#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

// A program run to its end as a child process, with what it wrote and how it ended.
struct ChildResult {
  int exit_code = -1;  // the exit status; 128 + n when signal n ended it
  std::string out;     // stdout
  std::string err;     // stderr (with the terminal's echo of the input when on a terminal)
  int64_t wall_ms = 0;
  bool timed_out = false;  // killed after the time limit
};

struct ChildOptions {
  std::vector<std::string> args;  // args[0] is the program's path
  std::string working_dir;        // empty: the test's own
  // Input written to stdin; with no terminal it is a pipe closed after the text.
  std::string input;
  // stdin and stderr on one pseudo-terminal (what a person at a terminal has); stdout stays a
  // pipe. The input is then typed on that terminal once its first output has appeared.
  bool terminal = false;
  // Sends SIGINT this many milliseconds after the start (negative: never).
  int64_t interrupt_after_ms = -1;
  int64_t time_limit_ms = 20000;
};

ChildResult RunChild(const ChildOptions& options);

// A program that runs beside the test until it is stopped (the simulated device), with its stdout
// and stderr going to files.
class BackgroundProcess {
 public:
  BackgroundProcess() = default;
  ~BackgroundProcess() { Stop(); }
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // Starts args[0] with the arguments; stdout and stderr go to the files named.
  bool Start(const std::vector<std::string>& args, const std::string& out_file,
             const std::string& err_file);
  // Sends SIGINT and waits for the end; returns the exit status (-1 when not running).
  int Stop();

 private:
  int pid_ = -1;
};

// Waits until the file holds a whole first line and returns it without its line end; empty
// when none came within the time.
std::string FirstLineOf(const std::string& path, int64_t time_limit_ms);

}  // namespace qv::test
