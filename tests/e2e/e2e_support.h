#pragma once
// What an end-to-end test needs to use the real program as a person would: a
// virtual X server of its own, the real tarnel process with its own config.ini
// and home folder, and what the X server says about its window.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnel::e2e {

// Runs `done` every 20 ms until it holds or the timeout passes.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(15));

// Runs a program (looked up on PATH) with arguments; its standard output.
std::string Capture(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {});

// `xwininfo` on a display. Its text is UTF-8 whatever the caller's locale:
// xwininfo converts window names to the locale's character set.
std::string XwinInfo(const std::string& display, const std::vector<std::string>& args);

class VirtualDisplay {
 public:
  // Xvfb -displayfd with one screen of `screen` (WxHxDepth); its messages go
  // to `log`.
  explicit VirtualDisplay(const std::string& log = "/dev/null", const std::string& screen = "1280x1024x24");
  ~VirtualDisplay();
  const std::string& name() const { return name_; }  // ":N"

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// A started process; killed and reaped by the destructor when still running.
class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          const std::string& output);
  ~Process();
  pid_t pid() const { return pid_; }
  // The exit status once the process has ended within the timeout.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

struct WindowInfo {
  std::string id;
  std::string title;
  int x = 0, y = 0, width = 0, height = 0;  // absolute, in root coordinates
  bool viewable = false;
};

// The main window of the tarnel process on that display: the largest
// top-level window of class "tarnel".
// Starts tarnel copied alone into `folder`/app beside a config.ini for
// `downloaderId` (and `uuid`), with a home of its own in the folder and
// recording stand-ins for pkexec and xdg-open (their arguments go to
// folder/pkexec.args and folder/xdg-open.args); its output goes to
// folder/tarnel.log. `env` adds to or replaces its environment; an empty
// value removes a variable.
std::unique_ptr<Process> StartTarnelFrom(const std::filesystem::path& executable, const std::filesystem::path& folder,
                                         const std::string& display, int downloaderId, const std::string& uuid,
                                         const std::map<std::string, std::string>& env = {});
#ifdef TARNEL_EXE
// The same with the tarnel of this build.
inline std::unique_ptr<Process> StartTarnel(const std::filesystem::path& folder, const std::string& display,
                                            int downloaderId, const std::string& uuid,
                                            const std::map<std::string, std::string>& env = {}) {
  return StartTarnelFrom(TARNEL_EXE, folder, display, downloaderId, uuid, env);
}
#endif

std::optional<WindowInfo> FindTarnelWindow(const std::string& display);

}  // namespace tarnel::e2e
