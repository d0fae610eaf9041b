// The GUI tests' entry: COM and common controls as the program has them, and a watchdog that
// ends a hung test program (a dialog nobody closes, a lost message) instead of the whole run.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "win32_handles.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::thread([] {  // ends with the process when the tests return first
    ::Sleep(90'000);
    std::fputs("watchdog: test program still running after 90 s, ended\n", stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
  })
      .detach();
  const vek::ui::ComApartment com;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  return RUN_ALL_TESTS();
}
