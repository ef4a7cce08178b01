// A Win32 thread for the Windows tests. The 32-bit build's runtime (win32
// thread model, so that the DLL loads on Windows XP) has no std::thread.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

#include "platform/owners_win.h"

namespace boardscope::test {

// Runs body on its own thread from construction; Join, or the destructor,
// waits for it to end.
class TestThread {
 public:
  explicit TestThread(std::function<void()> body)
      : body_(std::move(body)), handle_(CreateThread(nullptr, 0, &Run, this, 0, nullptr)) {}
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;
  ~TestThread() { Join(); }

  void Join() {
    if (!handle_) return;
    WaitForSingleObject(handle_.get(), INFINITE);
    handle_.reset();
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<TestThread*>(self)->body_();
    return 0;
  }

  std::function<void()> body_;
  UniqueHandle handle_;
};

}  // namespace boardscope::test
