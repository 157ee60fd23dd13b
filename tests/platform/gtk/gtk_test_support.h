#pragma once
// Shared pieces of the GTK platform tests: the one platform of the test
// process, waiting on the main loop, a recording message target and what the
// X server itself says about a window. UI thread only.
#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialog_window.h"
#include "platform/gtk/gtk_platform.h"

namespace tarnel::platform::gtk::test {

// The platform that main() made for the whole run.
GtkPlatform& Platform();
// Folder for records of the fake xdg-open and pkexec (TARNEL_TEST_RECORDS).
std::string RecordsFolder();
// A fresh folder for one test, under the run's private folder.
std::string NewFolder(const std::string& name);

// Iterates the default main loop until `done` is true or `timeoutMs` has
// passed; returns `done()`.
bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Makes a round trip to the X server, so every event it has sent for what
// was asked so far is here, and handles everything the loop has ready.
void DrainEvents();

struct Message {
  std::uint32_t message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::thread::id thread;
};

// Records every message; `hook` (optional) decides the result and may act.
class RecordingTarget : public IMessageTarget {
 public:
  LRESULT WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) override;

  std::vector<Message> log;
  std::function<LRESULT(std::uint32_t, WPARAM, LPARAM)> hook;
  // Messages of one kind, in order.
  std::vector<Message> Of(std::uint32_t message) const;
};

// Runs the main window modally for `target`; `scenario` runs from the main
// loop after WM_INITDIALOG, and the dialog ends with `result` after it.
int RunModal(RecordingTarget& target, std::function<void()> scenario, int result = 7);

// The window as the X server has it: position in root coordinates.
struct ServerGeometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool viewable = false;
  bool operator==(const ServerGeometry&) const = default;
};
ServerGeometry GeometryOnServer(GtkWindow* window);
// Size of the X screen.
int ScreenWidth();
int ScreenHeight();
// Names of the atoms in an ATOM-list property of the window.
std::vector<std::string> AtomProperty(GtkWindow* window, const char* property);
// Whether the window has a property at all.
bool HasProperty(GtkWindow* window, const char* property);
// The initial_state of WM_HINTS, or -1.
int InitialStateHint(GtkWindow* window);
// Decorations flag of _MOTIF_WM_HINTS, or -1 when the property is missing.
long MotifDecorations(GtkWindow* window);

// Calls of a fake program (xdg-open or pkexec) recorded since the last
// ClearRecords, each as its argument list, in no particular order.
struct RecordedCall {
  std::vector<std::string> args;
  std::string stdinTarget;         // what standard input was
  bool programExecutable = false;  // pkexec only: its first argument was executable
};
std::vector<RecordedCall> RecordedCalls(const std::string& program);
void ClearRecords();
// The exit code of the fake pkexec from now on.
void SetPkexecExit(int code);

// Moves the pointer as a user would, through the X server.
void WarpPointer(int x, int y);
// Presses or releases the primary button through XTest; false without XTest.
bool FakeButton(bool press);
// Whether another X client can grab the pointer now: it cannot while this
// process holds a pointer grab.
bool AnotherClientCanGrabThePointer();

}  // namespace tarnel::platform::gtk::test
