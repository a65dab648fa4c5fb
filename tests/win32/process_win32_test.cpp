#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/win32/message_pump_win32.h"
#include "platform/win32/text_win32.h"
#include "platform/win32/win32_error.h"

namespace qv::platform {
namespace {

TEST(Win32Process, InstanceLockIsHeldByOneOwnerAtATime) {
  const std::string name = "quorvane-test-" + std::to_string(::GetCurrentProcessId()) + ".exe";
  auto first = AcquireInstanceLock(name);
  ASSERT_TRUE(first);
  EXPECT_FALSE(AcquireInstanceLock(name)) << "a second copy must end";
  EXPECT_TRUE(AcquireInstanceLock("other-" + name)) << "another executable name is free";
  first.reset();
  EXPECT_TRUE(AcquireInstanceLock(name)) << "released with its owner";
}

TEST(Win32Process, ExecutablePathIsTheFullPathOfThisProgram) {
  std::filesystem::path path = ExecutablePath();
  EXPECT_TRUE(path.is_absolute()) << path.string();
  EXPECT_EQ(path.filename(), "win32_tests.exe");
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(Win32Text, Utf8AndUtf16RoundTrip) {
  const std::string utf8 = "Выбрать СОМ-порт: Quorvane Holtek  (Версия 04.05.22) 37%";
  std::wstring wide = win32::Utf8ToWide(utf8);
  EXPECT_EQ(wide.substr(0, 7), L"\u0412\u044b\u0431\u0440\u0430\u0442\u044c");
  EXPECT_EQ(win32::WideToUtf8(wide), utf8);
  EXPECT_EQ(win32::Utf8ToWide(""), L"");
}

TEST(Win32Error, CodesKeepTheirValueInTheSystemCategory) {
  std::error_code ec = win32::ErrorCodeOf(ERROR_ACCESS_DENIED);
  EXPECT_EQ(ec.value(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ec.category(), std::system_category());
  struct Case {
    DWORD code;
    bool gone;
  } cases[] = {{ERROR_ACCESS_DENIED, true},     {ERROR_BAD_COMMAND, true},
               {ERROR_OPERATION_ABORTED, true}, {ERROR_GEN_FAILURE, true},
               {ERROR_IO_PENDING, false},       {ERROR_SUCCESS, false}};
  for (const auto& c : cases)
    EXPECT_EQ(win32::IsPortGone(c.code), c.gone) << c.code;
}

TEST(Win32Clock, SleepsAreNotRoundedUpToTimerPeriods) {
  // Ten sleeps of 5 ms take about 50 ms at 1 ms resolution, and at least 156 ms when each is
  // rounded up to the default 15.6 ms period.
  Clock& clock = SystemClock();
  int64_t start = clock.NowMs();
  for (int i = 0; i < 10; ++i)
    clock.SleepMs(5);
  int64_t slept = clock.NowMs() - start;
  EXPECT_GE(slept, 49);
  EXPECT_LT(slept, 120);
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_USER) {
    ++*reinterpret_cast<int*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

TEST(Win32Pump, DispatchesPendingMessagesAndLeavesQuitForTheMainLoop) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QuorvanePumpTest";
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowW(L"QuorvanePumpTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_TRUE(hwnd);
  int count = 0;
  ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&count));
  win32::Win32MessagePump pump;
  ::PostMessageW(hwnd, WM_USER, 0, 0);
  ::PostMessageW(hwnd, WM_USER, 0, 0);
  pump.ProcessMessages();
  EXPECT_EQ(count, 2);
  ::PostQuitMessage(3);
  pump.ProcessMessages();
  EXPECT_TRUE(pump.QuitSeen());
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
  ::DestroyWindow(hwnd);
}

}  // namespace
}  // namespace qv::platform
