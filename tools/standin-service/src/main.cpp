// tarnel-service: runs the stand-in download service until SIGINT or SIGTERM.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include <pthread.h>

#include "command_line.h"
#include "standin_service.h"

int main(int argc, char** argv) {
  using namespace tarnel::standin;
  CommandLine command_line;
  try {
    command_line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::cerr << "tarnel-service: " << error.what() << "\n";
    return 2;
  }
  if (command_line.show_help) {
    std::cout << UsageText();
    return 0;
  }

  // Block the stop signals before any thread starts, so every server thread
  // inherits the mask and the main thread alone receives them in sigwait.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  // A client that goes away mid-transfer must not end the process.
  std::signal(SIGPIPE, SIG_IGN);

  command_line.options.event_output = &std::cout;
  StandinService service(command_line.options);
  try {
    service.Start();
  } catch (const StartError& error) {
    std::cerr << "tarnel-service: " << error.what() << "\n";
    return 1;
  }
  std::cout << "tarnel-service listening on " << service.BaseUrl() << std::endl;

  int received = 0;
  sigwait(&stop_signals, &received);
  service.Stop();
  std::cerr << "tarnel-service: stopped\n";
  return 0;
}
