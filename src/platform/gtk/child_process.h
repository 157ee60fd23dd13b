#pragma once
// Starting external programs without a shell and without waiting for them.
#include <functional>
#include <string>
#include <vector>

namespace tarnel::platform::gtk {

// UI thread. Starts argv[0], looked up on PATH, with the rest as its
// arguments (never through a shell), standard input from /dev/null and no
// inherited descriptors beyond standard output and error. Returns at once.
// The child is reaped from the main loop when it ends, and then `exited`
// (may be empty) runs on the UI thread with its wait status. False, with
// `error` set, when it could not be started.
bool StartProcess(const std::vector<std::string>& argv, std::function<void(int status)> exited, std::string& error);

}  // namespace tarnel::platform::gtk
