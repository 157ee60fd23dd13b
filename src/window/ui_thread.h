#pragma once
// The main window's members run on the thread that made it (the UI thread);
// workers reach it only through its window handle. Debug builds check that.
#include <cassert>
#include <thread>

namespace tarnel::window {

class UiThread {
 public:
  UiThread() : id_(std::this_thread::get_id()) {}
  bool IsCurrent() const { return std::this_thread::get_id() == id_; }

 private:
  std::thread::id id_;
};

}  // namespace tarnel::window

// Stops a debug build when a UI-thread-only member runs on another thread.
#define TARNEL_ASSERT_UI_THREAD(ui) assert((ui).IsCurrent() && "UI thread only")
