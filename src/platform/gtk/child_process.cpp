#include "platform/gtk/child_process.h"

#include <glib.h>

#include "platform/gtk/glib_handles.h"

namespace tarnel::platform::gtk {
namespace {

using Exited = std::function<void(int status)>;

void OnChildExited(GPid pid, gint status, gpointer data) {
  if (const auto& exited = *static_cast<Exited*>(data)) exited(status);
  g_spawn_close_pid(pid);
}

void FreeExited(gpointer data) { delete static_cast<Exited*>(data); }

}  // namespace

bool StartProcess(const std::vector<std::string>& argv, std::function<void(int status)> exited, std::string& error) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  GPid pid = 0;
  GError* spawnError = nullptr;
  const auto flags =
      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL);
  if (!g_spawn_async(nullptr, args.data(), nullptr, flags, nullptr, nullptr, &pid, &spawnError)) {
    const GErrorPtr owned(spawnError);
    error = owned ? owned->message : "unknown error";
    return false;
  }
  g_child_watch_add_full(G_PRIORITY_DEFAULT, pid, OnChildExited, new Exited(std::move(exited)), FreeExited);
  return true;
}

}  // namespace tarnel::platform::gtk
