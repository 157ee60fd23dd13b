// Entry of the GTK platform tests. Every run gets its own HOME and XDG
// folders, a private session bus (when dbus-daemon is there), and fake
// xdg-open and pkexec first on PATH that record how they were called, so no
// test reaches the user's desktop. Run with "--print-screen-metrics" it only
// prints what the platform makes of the screen (for runs with other
// settings).
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "gtk_test_support.h"
#include "platform/gtk/dialog_font.h"

namespace tarnel::platform::gtk::test {
namespace {

GtkPlatform* g_platform = nullptr;

void Set(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

void WriteScript(const std::filesystem::path& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), 0755);
}

// Each call leaves NAME.PID.args (arguments, NUL-terminated) and
// NAME.PID.stdin (what standard input is); pkexec also leaves
// NAME.PID.exec when its program was executable, and exits with the code in
// pkexec-exit (0 when missing).
void WriteFakePrograms(const std::filesystem::path& bin) {
  const std::string record = R"(out="$TARNEL_TEST_RECORDS/$(basename "$0").$$"
readlink /proc/self/fd/0 > "$out.stdin"
printf '%s\0' "$@" > "$out.tmp"
)";
  WriteScript(bin / "xdg-open", record + "mv \"$out.tmp\" \"$out.args\"\n");
  WriteScript(bin / "pkexec", record + R"([ -x "$1" ] && : > "$out.exec"
code=$(cat "$TARNEL_TEST_RECORDS/pkexec-exit" 2>/dev/null || echo 0)
mv "$out.tmp" "$out.args"
exit "$code"
)");
}

int PrintScreenMetrics(int argc, char** argv) {
  GtkPlatform platform(argc, argv);
  const Dpi dpi = platform.window().GetScreenDpi();
  const PixelSize size = TemplateSize(gdk_screen_get_default());
  std::cout << dpi.x << ' ' << dpi.y << ' ' << size.cx << ' ' << size.cy << std::endl;
  return 0;
}

}  // namespace

GtkPlatform& Platform() { return *g_platform; }

}  // namespace tarnel::platform::gtk::test

int main(int argc, char** argv) {
  namespace t = tarnel::platform::gtk::test;
  if (argc > 1 && std::string(argv[1]) == "--print-screen-metrics") return t::PrintScreenMetrics(argc, argv);

  char rootTemplate[] = "/tmp/tarnel-gtk-tests-XXXXXX";
  const std::filesystem::path root = mkdtemp(rootTemplate);
  for (const char* folder : {"home", "config", "data", "cache", "state", "runtime", "bin", "records"}) {
    std::filesystem::create_directories(root / folder);
  }
  chmod((root / "runtime").c_str(), 0700);
  t::Set("TARNEL_TEST_ROOT", root.string());
  t::Set("TARNEL_TEST_RECORDS", (root / "records").string());
  t::Set("HOME", (root / "home").string());
  t::Set("XDG_CONFIG_HOME", (root / "config").string());
  t::Set("XDG_DATA_HOME", (root / "data").string());
  t::Set("XDG_CACHE_HOME", (root / "cache").string());
  t::Set("XDG_STATE_HOME", (root / "state").string());
  t::Set("XDG_RUNTIME_DIR", (root / "runtime").string());
  t::Set("GSETTINGS_BACKEND", "memory");
  t::Set("WEBKIT_DISABLE_COMPOSITING_MODE", "1");
  t::Set("NO_AT_BRIDGE", "1");
  unsetenv("GDK_DPI_SCALE");
  unsetenv("GDK_SCALE");
  t::WriteFakePrograms(root / "bin");
  const char* path = getenv("PATH");
  t::Set("PATH", (root / "bin").string() + ":" + (path != nullptr ? path : "/usr/bin:/bin"));

  // A private session bus, never the user's.
  GTestDBus* bus = nullptr;
  gchar* daemon = g_find_program_in_path("dbus-daemon");
  if (daemon != nullptr) {
    // Starting the bus unsets DISPLAY (a bus test needs no display); ours does.
    const char* display = getenv("DISPLAY");
    const std::string savedDisplay = display != nullptr ? display : "";
    bus = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus);
    if (!savedDisplay.empty()) t::Set("DISPLAY", savedDisplay);
  } else {
    t::Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (root / "runtime" / "no-bus").string());
  }
  g_free(daemon);
  t::Set("TARNEL_TEST_HAVE_BUS", bus != nullptr ? "1" : "0");

  testing::InitGoogleTest(&argc, argv);
  int result = 1;
  {
    tarnel::platform::gtk::GtkPlatform platform(argc, argv);
    t::g_platform = &platform;
    // As the application does before its first view; the browser tests look
    // for the data folder of this key.
    platform.browser().SetUserDataKey("4711");
    result = RUN_ALL_TESTS();
    t::g_platform = nullptr;
  }
  if (bus != nullptr) {
    g_test_dbus_stop(bus);
    g_object_unref(bus);
  }
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return result;
}
