#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/process.h"
#include "temp_dir.h"

namespace qv {
namespace {

struct RuntimeDir {
  RuntimeDir() { setenv("XDG_RUNTIME_DIR", dir.path.c_str(), 1); }
  ~RuntimeDir() { unsetenv("XDG_RUNTIME_DIR"); }
  test::TempDir dir;
};

TEST(InstanceLock, OneCopyPerExecutableName) {
  RuntimeDir runtime;
  auto first = platform::AcquireInstanceLock("quorvane");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(platform::AcquireInstanceLock("quorvane"), nullptr) << "a second copy is refused";
  EXPECT_NE(platform::AcquireInstanceLock("quorvane-cli"), nullptr) << "another name is free";
  first.reset();
  EXPECT_NE(platform::AcquireInstanceLock("quorvane"), nullptr) << "free again once released";
}

TEST(InstanceLock, ReleasedWhenTheHolderIsKilled) {
  RuntimeDir runtime;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto lock = platform::AcquireInstanceLock("quorvane");
    char c = lock ? '1' : '0';
    (void)!write(ready[1], &c, 1);
    pause();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, '1');
  EXPECT_EQ(platform::AcquireInstanceLock("quorvane"), nullptr) << "held by the child";
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_NE(platform::AcquireInstanceLock("quorvane"), nullptr);
  close(ready[0]);
  close(ready[1]);
}

TEST(ExecutablePath, NamesThisProgram) {
  EXPECT_EQ(platform::ExecutablePath().filename(), "shell_tests");
}

}  // namespace
}  // namespace qv
