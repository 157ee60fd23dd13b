#include "gtk_test_support.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#if defined(TARNEL_TEST_HAVE_XTEST)
#include <X11/extensions/XTest.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/gtk/main_loop.h"

namespace tarnel::platform::gtk::test {
namespace {

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

::Window XidOf(GtkWindow* window) {
  GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window));
  return gdkWindow != nullptr ? gdk_x11_window_get_xid(gdkWindow) : 0;
}

gboolean WakeUp(gpointer) { return G_SOURCE_CONTINUE; }

}  // namespace

std::string RecordsFolder() { return std::getenv("TARNEL_TEST_RECORDS"); }

std::string NewFolder(const std::string& name) {
  static int counter = 0;
  const auto path = std::filesystem::path(std::getenv("TARNEL_TEST_ROOT")) / (name + "-" + std::to_string(++counter));
  std::filesystem::create_directories(path);
  return path.string();
}

bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // A periodic wake-up, so conditions outside the loop (files, other
  // processes) are looked at again even when no event comes.
  const guint wake = g_timeout_add(10, WakeUp, nullptr);
  while (!done() && std::chrono::steady_clock::now() < deadline) g_main_context_iteration(nullptr, TRUE);
  g_source_remove(wake);
  return done();
}

void DrainEvents() {
  gdk_display_sync(gdk_display_get_default());
  for (int i = 0; i < 1000 && g_main_context_iteration(nullptr, FALSE); ++i) {
  }
}

std::vector<RecordedCall> RecordedCalls(const std::string& program) {
  std::vector<RecordedCall> calls;
  for (const auto& entry : std::filesystem::directory_iterator(RecordsFolder())) {
    const std::string name = entry.path().filename().string();
    const std::string suffix = ".args";
    if (name.rfind(program + ".", 0) != 0 || name.size() < suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    const std::string stem = entry.path().string().substr(0, entry.path().string().size() - suffix.size());
    RecordedCall call;
    std::ifstream in(entry.path(), std::ios::binary);
    for (std::string arg; std::getline(in, arg, '\0');) call.args.push_back(arg);
    std::ifstream stdinFile(stem + ".stdin");
    std::getline(stdinFile, call.stdinTarget);
    call.programExecutable = std::filesystem::exists(stem + ".exec");
    calls.push_back(call);
  }
  return calls;
}

void ClearRecords() {
  for (const auto& entry : std::filesystem::directory_iterator(RecordsFolder())) {
    std::filesystem::remove(entry.path());
  }
}

void SetPkexecExit(int code) { std::ofstream(std::filesystem::path(RecordsFolder()) / "pkexec-exit") << code << '\n'; }

LRESULT RecordingTarget::WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  log.push_back({message, wParam, lParam, std::this_thread::get_id()});
  if (hook) return hook(message, wParam, lParam);
  return message == WM_INITDIALOG ? 1 : 0;
}

std::vector<Message> RecordingTarget::Of(std::uint32_t message) const {
  std::vector<Message> found;
  for (const auto& entry : log) {
    if (entry.message == message) found.push_back(entry);
  }
  return found;
}

int RunModal(RecordingTarget& target, std::function<void()> scenario, int result) {
  auto& window = Platform().window();
  PostToMainLoop([&window, scenario = std::move(scenario), result] {
    scenario();
    window.EndDialog(result);
  });
  return window.DoModal(target);
}

ServerGeometry GeometryOnServer(GtkWindow* window) {
  Display* display = XDisplay();
  const ::Window xid = XidOf(window);
  if (xid == 0) return {};
  XSync(display, False);
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, xid, &attributes)) return {};
  int x = 0;
  int y = 0;
  ::Window child = 0;
  XTranslateCoordinates(display, xid, attributes.root, 0, 0, &x, &y, &child);
  return {x, y, attributes.width, attributes.height, attributes.map_state == IsViewable};
}

int ScreenWidth() { return DisplayWidth(XDisplay(), DefaultScreen(XDisplay())); }
int ScreenHeight() { return DisplayHeight(XDisplay(), DefaultScreen(XDisplay())); }

std::vector<std::string> AtomProperty(GtkWindow* window, const char* property) {
  Display* display = XDisplay();
  XSync(display, False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<std::string> names;
  if (XGetWindowProperty(display, XidOf(window), XInternAtom(display, property, False), 0, 1024, False, XA_ATOM, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr) {
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count; ++i) {
      char* name = XGetAtomName(display, atoms[i]);
      names.emplace_back(name);
      XFree(name);
    }
    XFree(data);
  }
  return names;
}

bool HasProperty(GtkWindow* window, const char* property) {
  Display* display = XDisplay();
  XSync(display, False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, XidOf(window), XInternAtom(display, property, False), 0, 1, False,
                                        AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
                     type != None;
  if (data != nullptr) XFree(data);
  return found;
}

int InitialStateHint(GtkWindow* window) {
  XSync(XDisplay(), False);
  XWMHints* hints = XGetWMHints(XDisplay(), XidOf(window));
  if (hints == nullptr) return -1;
  const int state = (hints->flags & StateHint) != 0 ? hints->initial_state : -1;
  XFree(hints);
  return state;
}

long MotifDecorations(GtkWindow* window) {
  Display* display = XDisplay();
  XSync(display, False);
  const Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  long decorations = -1;
  if (XGetWindowProperty(display, XidOf(window), motif, 0, 5, False, AnyPropertyType, &type, &format, &count, &after,
                         &data) == Success &&
      data != nullptr) {
    const auto* fields = reinterpret_cast<const long*>(data);
    constexpr long kDecorationsFlag = 1L << 1;
    if (count >= 3 && (fields[0] & kDecorationsFlag) != 0) decorations = fields[2];
    XFree(data);
  }
  return decorations;
}

void WarpPointer(int x, int y) {
  GdkDisplay* display = gdk_display_get_default();
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
  gdk_device_warp(pointer, gdk_display_get_default_screen(display), x, y);
  gdk_display_flush(display);
}

bool FakeButton(bool press) {
#if defined(TARNEL_TEST_HAVE_XTEST)
  XTestFakeButtonEvent(XDisplay(), 1, press ? True : False, CurrentTime);
  XFlush(XDisplay());
  return true;
#else
  (void)press;
  return false;
#endif
}

bool AnotherClientCanGrabThePointer() {
  DrainEvents();
  Display* other = XOpenDisplay(nullptr);
  if (other == nullptr) return false;
  const int result = XGrabPointer(other, DefaultRootWindow(other), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                                  None, None, CurrentTime);
  if (result == GrabSuccess) XUngrabPointer(other, CurrentTime);
  XCloseDisplay(other);
  return result == GrabSuccess;
}

}  // namespace tarnel::platform::gtk::test
