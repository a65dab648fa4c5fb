#include "apps/cli/terminal_progress.h"

#include <gtest/gtest.h>

#include <sstream>

#include "apps/cli/connection_cancel.h"
#include "apps/cli/terminal_ui.h"
#include "platform/fake/fake_serial.h"

namespace qv::cli {
namespace {

TEST(RenderProgress, BarAndPlainLines) {
  struct Case {
    ProgressState state;
    std::string bar;
    std::string plain;
  };
  const std::vector<Case> cases = {
      {{"Не могу подключиться к МК...", 0, false},
       "Не могу подключиться к МК...",
       "Не могу подключиться к МК..."},
      {{"Загрузка прошивки...", 0, true},
       "Загрузка прошивки... [--------------------]   0%",
       "Загрузка прошивки... 0%"},
      {{"Загрузка прошивки...", 33, true},
       "Загрузка прошивки... [######--------------]  33%",
       "Загрузка прошивки... 33%"},
      {{"Чтение FAT...", 100, true},
       "Чтение FAT... [####################] 100%",
       "Чтение FAT... 100%"},
      // Out-of-range values are drawn at the ends of the bar, never past them.
      {{"x", 140, true}, "x [####################] 100%", "x 100%"},
      {{"x", -5, true}, "x [--------------------]   0%", "x 0%"},
      // The upload clears the label for a moment: nothing to say on a plain line.
      {{"", 0, false}, "", ""},
      {{"", 50, true}, "[##########----------]  50%", "50%"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state.label + " " + std::to_string(c.state.percent));
    EXPECT_EQ(RenderProgressBar(c.state, 20), c.bar);
    EXPECT_EQ(RenderProgressPlain(c.state), c.plain);
  }
}

// A job's progress as the CLI shows it, on a virtual clock.
struct ProgressFixture {
  platform::fake::VirtualClock clock;
  std::atomic<bool> interrupted{false};
  ConnectionCancel cancel{clock, interrupted, 5000};
  std::ostringstream err;
};

// The calls a job makes: connecting, then two working stages.
void DriveLikeAJob(ProgressDialog& p) {
  p.ShowCancel(true);
  p.SetLabel("Не могу подключиться к МК...");
  p.ShowGauge(false);
  p.SetLabel("Чтение FAT...");
  p.SetGauge(0);
  p.ShowGauge(true);
  p.ShowCancel(false);
  p.SetGauge(33);
  p.SetGauge(33);
  p.SetGauge(100);
  // The next stage, as the restore moves from reading the FAT to writing the areas.
  p.SetLabel("Запись настроек...");
  p.SetGauge(0);
  p.ShowGauge(true);
}

TEST(TerminalProgress, PlainLinesWhenStderrIsNoTerminal) {
  ProgressFixture f;
  ProgressStream stream(f.err, false);
  {
    TerminalProgress progress(stream, f.cancel);
    DriveLikeAJob(progress);
  }
  // One line per change of what is shown; a repeated value adds nothing.
  EXPECT_EQ(f.err.str(),
            "Не могу подключиться к МК...\n"
            "Чтение FAT...\n"
            "Чтение FAT... 0%\n"
            "Чтение FAT... 33%\n"
            "Чтение FAT... 100%\n"
            "Запись настроек...\n"
            "Запись настроек... 0%\n");
}

TEST(TerminalProgress, BarRedrawnInPlaceOnATerminalAndEndedBeforeMessages) {
  ProgressFixture f;
  std::ostringstream out;
  std::istringstream in;
  TerminalUI ui({out, f.err, in, true}, f.cancel);
  {
    auto progress = ui.CreateProgress();
    progress->SetLabel("Запись настроек...");
    progress->ShowGauge(true);
    progress->SetGauge(50);
    ui.ShowError("RS232. Ошибка обмена.(0)");
  }
  std::string err = f.err.str();
  EXPECT_EQ(err.find('\n'), err.find("\nRS232")) << "no line ends before the message";
  EXPECT_NE(err.find("\rЗапись настроек... [###############---------------]  50%\x1b[K"),
            std::string::npos);
  EXPECT_TRUE(err.ends_with("\nRS232. Ошибка обмена.(0)\n")) << err;
  EXPECT_EQ(out.str(), "");
}

TEST(TerminalProgress, CtrlCCancelsOnlyWhileConnecting) {
  ProgressFixture f;
  ProgressStream stream(f.err, false);
  TerminalProgress progress(stream, f.cancel);
  EXPECT_FALSE(progress.Cancelled());
  progress.ShowCancel(false);  // the device answered: the job now writes to it
  f.interrupted = true;
  EXPECT_FALSE(progress.Cancelled()) << "a job writing to the device is not cut off";
}

TEST(TerminalProgress, CtrlCWhileConnectingStaysSeenAfterTheDeviceAnswers) {
  ProgressFixture f;
  ProgressStream stream(f.err, false);
  TerminalProgress progress(stream, f.cancel);
  f.interrupted = true;
  progress.ShowCancel(false);
  // The upload looks at Cancelled before each page: it stops before the first one.
  EXPECT_TRUE(progress.Cancelled());
}

TEST(ConnectionCancel, TimeLimitCountsFromTheConnectionPhaseAndOnlyThere) {
  ProgressFixture f;
  f.clock.AdvanceTo(1000);  // time before the dialog does not count
  ProgressStream stream(f.err, false);
  TerminalProgress progress(stream, f.cancel);
  f.clock.AdvanceTo(5999);
  EXPECT_FALSE(progress.Cancelled());
  f.clock.AdvanceTo(6000);
  EXPECT_TRUE(progress.Cancelled());
  EXPECT_TRUE(f.cancel.RanOutOfTime());
  EXPECT_FALSE(f.cancel.Interrupted());
}

TEST(ConnectionCancel, NoTimeLimitWithZero) {
  platform::fake::VirtualClock clock;
  std::atomic<bool> interrupted{false};
  ConnectionCancel cancel(clock, interrupted, 0);
  cancel.BeginConnecting();
  clock.AdvanceTo(int64_t{1} << 40);
  EXPECT_FALSE(cancel.ShouldStop());
  interrupted = true;
  EXPECT_TRUE(cancel.ShouldStop());
}

TEST(InterruptibleClock, SleepWhileConnectingEndsAtTheDeadlineOrCtrlC) {
  ProgressFixture f;
  InterruptibleClock clock(f.clock, f.cancel);
  f.cancel.BeginConnecting();
  clock.SleepMs(3000);
  EXPECT_EQ(f.clock.NowMs(), 3000);
  // The 3000 ms pause is cut at the time limit, 5000 ms after the phase began.
  clock.SleepMs(3000);
  EXPECT_EQ(f.clock.NowMs(), 5000);
}

TEST(InterruptibleClock, SleepEndsWithinOneSliceOfCtrlC) {
  platform::fake::VirtualClock base;
  std::atomic<bool> interrupted{false};
  ConnectionCancel cancel(base, interrupted, 0);
  // A base clock that presses Ctrl-C 1234 ms into the sleep.
  struct PressingClock final : platform::Clock {
    platform::fake::VirtualClock& inner;
    std::atomic<bool>& flag;
    PressingClock(platform::fake::VirtualClock& c, std::atomic<bool>& f) : inner(c), flag(f) {}
    int64_t NowMs() override { return inner.NowMs(); }
    void SleepMs(int64_t ms) override {
      inner.SleepMs(ms);
      if (inner.NowMs() >= 1234) flag = true;
    }
  } pressing(base, interrupted);
  InterruptibleClock clock(pressing, cancel);
  cancel.BeginConnecting();
  clock.SleepMs(3000);
  EXPECT_GE(base.NowMs(), 1234);
  EXPECT_LT(base.NowMs(), 1234 + InterruptibleClock::kSliceMs);
}

TEST(InterruptibleClock, SleepsOutsideTheConnectionPhaseRunInFull) {
  ProgressFixture f;
  InterruptibleClock clock(f.clock, f.cancel);
  f.cancel.BeginConnecting();
  f.clock.AdvanceTo(9000);  // the time limit has passed...
  f.cancel.BeginWorking();  // ...but the device answered: the 50 ms retry pauses must last
  f.interrupted = true;
  clock.SleepMs(50);
  EXPECT_EQ(f.clock.NowMs(), 9050);
}

TEST(TerminalUI, AsksOnTheTerminalAndTakesOnlyAYes) {
  struct Case {
    std::string typed;
    int answer;
  };
  const std::vector<Case> cases = {
      {"y\n", Messages::kYes},   {"YES\n", Messages::kYes}, {" да \n", Messages::kYes},
      {"Д\n", Messages::kYes},   {"n\n", Messages::kNo},    {"\n", Messages::kNo},
      {"yess\n", Messages::kNo}, {"", Messages::kNo},  // end of input
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    ProgressFixture f;
    std::ostringstream out;
    std::istringstream in(c.typed);
    TerminalUI ui({out, f.err, in, false}, f.cancel);
    EXPECT_EQ(ui.AskYesNo("Отключите МК?"), c.answer);
    EXPECT_EQ(f.err.str().rfind("Отключите МК? [y/N] ", 0), 0u);
  }
}

TEST(TerminalUI, YesGivenBeforehandAsksNothing) {
  ProgressFixture f;
  std::ostringstream out;
  std::istringstream in;
  TerminalUI ui({out, f.err, in, false}, f.cancel);
  ui.SetAssumeYes(true);
  EXPECT_EQ(ui.AskYesNo("Отключите МК?"), Messages::kYes);
  EXPECT_EQ(f.err.str(), "");
}

}  // namespace
}  // namespace qv::cli
