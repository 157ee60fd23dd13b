#pragma once
// Running work on the UI thread through GLib's default main context.
#include <functional>

namespace tarnel::platform::gtk {

// Any thread. Runs `task` once, later, on the thread that runs the default
// main context (the UI thread), after the tasks posted before it. The task
// is freed after it ran, or with its source if it never runs.
void PostToMainLoop(std::function<void()> task);

}  // namespace tarnel::platform::gtk
