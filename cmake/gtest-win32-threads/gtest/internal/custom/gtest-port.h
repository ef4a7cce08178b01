// GoogleTest's customization header for the 32-bit build, whose runtime (the
// win32 thread model, so that the DLL loads on Windows XP) has no std::mutex
// or std::condition_variable. GoogleTest's own Mutex and ThreadLocal are
// Win32-based already; only its Notification is built on those two, so it
// is given here on a Win32 event (notification.cpp, kept out of this header
// so that every test does not see <windows.h>).
#ifndef BOARDSCOPE_GTEST_CUSTOM_PORT_H_
#define BOARDSCOPE_GTEST_CUSTOM_PORT_H_

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification();
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  ~Notification();

  void Notify();
  void WaitForNotification();

 private:
  void* event_;  // a manual-reset event
};

}  // namespace internal
}  // namespace testing

#endif  // BOARDSCOPE_GTEST_CUSTOM_PORT_H_
