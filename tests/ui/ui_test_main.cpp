// The GUI tests' entry: COM and common controls as the program has them, and a watchdog that
// ends a hung test program (a dialog nobody closes, a lost message) instead of the whole run.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "win32_handles.h"

namespace {

class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : thread_([this, limit](std::stop_token stop) {
          std::unique_lock lock(mutex_);
          wake_.wait_for(lock, stop, limit, [] { return false; });
          if (!stop.stop_requested()) {
            std::fprintf(stderr, "watchdog: test program still running after %lld s, ended\n",
                         static_cast<long long>(limit.count()));
            std::fflush(stderr);
            ::TerminateProcess(::GetCurrentProcess(), 3);
          }
        }) {}

 private:
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::jthread thread_;
};

std::chrono::seconds WatchdogLimit() {
  if (const char* value = std::getenv("VEK_UI_TEST_WATCHDOG")) {
    return std::chrono::seconds(std::atoi(value));
  }
  return std::chrono::seconds(90);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const Watchdog watchdog(WatchdogLimit());
  const vek::ui::ComApartment com;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  return RUN_ALL_TESTS();
}
