#include "platform/gtk/gtk_shell.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>

#include "platform/gtk/child_process.h"
#include "platform/gtk/glib_handles.h"
#include "platform/gtk/main_loop.h"

namespace tarnel::platform::gtk {
namespace {

constexpr int kRevealTimeoutMs = 10000;

std::string AbsolutePath(const std::string& path) {
  GCharPtr absolute(g_canonicalize_filename(path.c_str(), nullptr));
  return absolute.get();
}

void OpenFolder(const std::string& folder) {
  std::string error;
  if (!StartProcess({"xdg-open", folder}, {}, error)) {
    std::cerr << "tarnel: cannot open the folder " << folder << ": " << error << '\n';
  }
}

// One reveal in flight: the file's URI and, for the fallback, its folder.
struct RevealRequest {
  std::string uri;
  std::string folder;
};

void OnShowItemsDone(GObject* connection, GAsyncResult* result, gpointer data) {
  std::unique_ptr<RevealRequest> request(static_cast<RevealRequest*>(data));
  // The connection's reference was taken for this call.
  const GObjectPtr<GDBusConnection> owner(G_DBUS_CONNECTION(connection));
  GError* error = nullptr;
  const GVariantPtr reply(g_dbus_connection_call_finish(owner.get(), result, &error));
  const GErrorPtr owned(error);
  if (reply) return;
  OpenFolder(request->folder);
}

void OnSessionBus(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<RevealRequest> request(static_cast<RevealRequest*>(data));
  GError* error = nullptr;
  GDBusConnection* connection = g_bus_get_finish(result, &error);
  if (connection == nullptr) {
    const GErrorPtr owned(error);
    OpenFolder(request->folder);
    return;
  }
  GVariantBuilder uris;
  g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
  g_variant_builder_add(&uris, "s", request->uri.c_str());
  // The connection's reference passes to the completion.
  g_dbus_connection_call(connection, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                         "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(ass)", &uris, ""), nullptr,
                         G_DBUS_CALL_FLAGS_NONE, kRevealTimeoutMs, nullptr, OnShowItemsDone, request.release());
}

}  // namespace

std::string GtkShell::GetDownloadsFolder() {
  // GLib reads user-dirs.dirs once; read it again for the current answer.
  g_reload_user_special_dirs_cache();
  const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  return folder != nullptr ? folder : "";
}

bool GtkShell::OpenUrl(const std::string& url) {
  if (url.empty() || url.front() == '-') {
    std::cerr << "tarnel: refused to open \"" << url << "\"\n";
    return false;
  }
  std::string error;
  if (!StartProcess({"xdg-open", url}, {}, error)) {
    std::cerr << "tarnel: cannot start xdg-open: " << error << '\n';
    return false;
  }
  return true;
}

void GtkShell::RunElevated(const std::string& path, std::function<void()> failed) {
  const std::weak_ptr<int> alive = alive_;
  auto fail = [alive, failed = std::move(failed)] {
    if (alive.lock() && failed) failed();
  };
  if (path.empty()) {
    PostToMainLoop(std::move(fail));
    return;
  }
  // An absolute path starts with '/', so pkexec cannot read it as an option.
  const std::string program = AbsolutePath(path);
  // Executable for its owner, through the file itself: a link is never followed.
  if (const int fd = open(program.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); fd >= 0) {
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR) == 0) {
      fchmod(fd, info.st_mode | S_IXUSR);
    }
    close(fd);
  }
  std::string error;
  const bool started = StartProcess(
      {"pkexec", program},
      [fail](int status) {
        if (WIFEXITED(status) && (WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127)) fail();
      },
      error);
  if (!started) {
    std::cerr << "tarnel: cannot start pkexec: " << error << '\n';
    PostToMainLoop(std::move(fail));
  }
}

void GtkShell::RevealFile(const std::string& path) {
  if (path.empty()) {
    // No file to show: the user's home folder, as a file manager opens by default.
    OpenFolder(g_get_home_dir());
    return;
  }
  const std::string file = AbsolutePath(path);
  GCharPtr folder(g_path_get_dirname(file.c_str()));
  GCharPtr uri(g_filename_to_uri(file.c_str(), nullptr, nullptr));
  if (!uri) {
    OpenFolder(folder.get());
    return;
  }
  g_bus_get(G_BUS_TYPE_SESSION, nullptr, OnSessionBus, new RevealRequest{uri.get(), folder.get()});
}

}  // namespace tarnel::platform::gtk
