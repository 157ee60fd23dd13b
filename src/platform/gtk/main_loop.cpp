#include "platform/gtk/main_loop.h"

#include <glib.h>

#include <exception>
#include <iostream>

namespace tarnel::platform::gtk {
namespace {

gboolean RunTask(gpointer data) {
  // An exception must not unwind through GLib's dispatcher.
  try {
    (*static_cast<std::function<void()>*>(data))();
  } catch (const std::exception& error) {
    std::cerr << "tarnel: a task on the UI thread failed: " << error.what() << '\n';
  } catch (...) {
    std::cerr << "tarnel: a task on the UI thread failed\n";
  }
  return G_SOURCE_REMOVE;
}

void FreeTask(gpointer data) { delete static_cast<std::function<void()>*>(data); }

}  // namespace

void PostToMainLoop(std::function<void()> task) {
  // An idle source on the default context, not g_main_context_invoke: invoke
  // runs the task at once on the calling thread when that thread can acquire
  // the context, which a worker can while the UI thread is between loops.
  // Sources of one priority run in the order they were added.
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, RunTask, new std::function<void()>(std::move(task)), FreeTask);
}

}  // namespace tarnel::platform::gtk
