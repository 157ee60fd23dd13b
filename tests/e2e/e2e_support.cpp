#include "e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace tarnel::e2e {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (auto& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

std::vector<std::string> Environment(const std::map<std::string, std::string>& overrides) {
  std::map<std::string, std::string> merged;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const auto eq = entry.find('=');
    if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [k, v] : overrides) merged[k] = v;
  std::vector<std::string> result;
  for (const auto& [k, v] : merged) {
    if (!v.empty()) result.push_back(k + "=" + v);
  }
  return result;
}

pid_t Spawn(std::vector<std::string> argv, const std::map<std::string, std::string>& env,
            posix_spawn_file_actions_t* actions) {
  auto envStrings = Environment(env);
  auto args = Pointers(argv);
  auto envp = Pointers(envStrings);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], actions, nullptr, args.data(), envp.data()) != 0) {
    throw std::runtime_error("cannot start " + argv[0]);
  }
  return pid;
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string Capture(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const pid_t pid = Spawn(argv, env, &actions);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string output;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return output;
}

VirtualDisplay::VirtualDisplay(const std::string& log, const std::string& screen) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // -noreset: by default the server resets whenever its last client leaves,
  // and a client connecting during the reset cannot open the display.
  pid_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
               {}, &actions);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  name_ = ":" + number;
}

VirtualDisplay::~VirtualDisplay() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

Process::Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                 const std::string& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_ = Spawn(argv, env, &actions);
  posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
  if (!reaped_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::optional<int> Process::WaitForExit(std::chrono::milliseconds timeout) {
  std::optional<int> result;
  WaitFor(
      [&] {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
          reaped_ = true;
          result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return result.has_value();
      },
      timeout);
  return result;
}

std::string XwinInfo(const std::string& display, const std::vector<std::string>& args) {
  std::vector<std::string> argv{"xwininfo"};
  argv.insert(argv.end(), args.begin(), args.end());
  return Capture(argv, {{"DISPLAY", display}, {"LC_ALL", "C.UTF-8"}});
}

std::unique_ptr<Process> StartTarnelFrom(const std::filesystem::path& executable, const std::filesystem::path& folder,
                                         const std::string& display, int downloaderId, const std::string& uuid,
                                         const std::map<std::string, std::string>& env) {
  namespace fs = std::filesystem;
  const auto file = [&folder](const std::string& name) { return (folder / name).string(); };
  fs::create_directories(file("app"));
  fs::copy_file(executable, file("app/tarnel"));
  test::WriteFile(file("app/config.ini"),
                  "[root]\ndownloader_id=" + std::to_string(downloaderId) + "\n[user]\nuuid=" + uuid + "\n");
  fs::create_directories(file("home/.config"));
  fs::create_directories(file("home/Downloads"));
  fs::create_directories(file("bin"));
  fs::create_directories(file("runtime"));
  fs::permissions(file("runtime"), fs::perms::owner_all);
  test::WriteFile(file("home/.config/user-dirs.dirs"), "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");
  // Recording stand-ins for the programs tarnel starts.
  for (const std::string tool : {"pkexec", "xdg-open"}) {
    test::WriteFile(file("bin/" + tool), "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + file(tool + ".args") + "\"\n");
    fs::permissions(file("bin/" + tool), fs::perms::owner_all);
  }
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
  std::map<std::string, std::string> environment{{"DISPLAY", display},
                                                 {"HOME", file("home")},
                                                 {"XDG_CONFIG_HOME", file("home/.config")},
                                                 {"XDG_DATA_HOME", file("home/.local/share")},
                                                 {"XDG_CACHE_HOME", file("home/.cache")},
                                                 {"XDG_RUNTIME_DIR", file("runtime")},
                                                 {"GSETTINGS_BACKEND", "memory"},
                                                 {"NO_AT_BRIDGE", "1"},
                                                 {"WEBKIT_DISABLE_COMPOSITING_MODE", "1"},
                                                 {"PATH", file("bin") + ":" + path}};
  for (const auto& [name, value] : env) environment[name] = value;
  return std::make_unique<Process>(std::vector<std::string>{file("app/tarnel")}, environment, file("tarnel.log"));
}

std::optional<WindowInfo> FindTarnelWindow(const std::string& display) {
  // Top-level lines of `xwininfo -root -tree`, e.g.
  //      0x200003 "Title": ("tarnel" "Tarnel")  720x460+280+282  +280+282
  const std::string tree = XwinInfo(display, {"-root", "-tree"});
  static const std::regex line(
      R"re(^\s+(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \("tarnel" "Tarnel"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+?(-?\d+)\+?(-?\d+))re");
  std::optional<WindowInfo> best;
  std::istringstream in(tree);
  for (std::string text; std::getline(in, text);) {
    std::smatch m;
    if (!std::regex_search(text, m, line)) continue;
    WindowInfo info{m[1], m[2], std::stoi(m[5]), std::stoi(m[6]), std::stoi(m[3]), std::stoi(m[4]), false};
    if (!best || info.width * info.height > best->width * best->height) best = info;
  }
  if (best) {
    const std::string state = XwinInfo(display, {"-id", best->id});
    best->viewable = state.find("Map State: IsViewable") != std::string::npos;
  }
  return best;
}

}  // namespace tarnel::e2e
