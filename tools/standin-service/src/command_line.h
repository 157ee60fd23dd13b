#pragma once
// The command line of tarnel-service.
#include <stdexcept>
#include <string>
#include <vector>

#include "service_options.h"

namespace tarnel::standin {

struct CommandLine {
  ServiceOptions options;
  bool show_help = false;
};

// A command line that cannot be used; what() says why.
class UsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// `arguments` without the program name. Options take their value as the next
// argument or after "=" (--port 9000, --port=9000). Throws UsageError.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The --help text.
std::string UsageText();

}  // namespace tarnel::standin
