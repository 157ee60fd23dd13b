#include "command_line.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

namespace tarnel::standin {
namespace {

// Decimal digits with an optional K, M or G (binary multiples) at the end.
std::uint64_t ParseSize(const std::string& option, const std::string& text) {
  std::uint64_t multiplier = 1;
  std::string digits = text;
  if (!digits.empty()) {
    switch (digits.back()) {
      case 'K':
      case 'k': multiplier = 1ULL << 10; break;
      case 'M':
      case 'm': multiplier = 1ULL << 20; break;
      case 'G':
      case 'g': multiplier = 1ULL << 30; break;
      default: break;
    }
    if (multiplier != 1) {
      digits.pop_back();
    }
  }
  std::uint64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (digits.empty() || error != std::errc() || stop != end ||
      value > std::numeric_limits<std::uint64_t>::max() / multiplier) {
    throw UsageError(option + " needs a number of bytes, not \"" + text + "\"");
  }
  return value * multiplier;
}

// A positive decimal count.
std::uint64_t ParseCount(const std::string& option, const std::string& text) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value == 0) {
    throw UsageError(option + " needs a positive count after \":\", not \"" + text + "\"");
  }
  return value;
}

int ParsePort(const std::string& text) {
  int value = -1;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < 0 || value > 65535) {
    throw UsageError("--port needs a port number from 0 to 65535, not \"" + text + "\"");
  }
  return value;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  ServiceOptions& options = result.options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> inline_value;
    if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
      inline_value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help" || name == "-h") {
      result.show_help = true;
      continue;
    }
    const auto value = [&]() -> std::string {
      if (inline_value) {
        return *inline_value;
      }
      if (i + 1 >= arguments.size()) {
        throw UsageError(name + " needs a value");
      }
      return arguments[++i];
    };
    if (name == "--port") {
      options.port = ParsePort(value());
    } else if (name == "--bind") {
      options.bind_address = value();
      if (options.bind_address.empty()) {
        throw UsageError("--bind needs an address");
      }
    } else if (name == "--catalog") {
      options.catalog_file = value();
    } else if (name == "--files") {
      options.files_dir = value();
    } else if (name == "--log-file") {
      options.log_file = value();
    } else if (name == "--request-log") {
      options.request_log = value();
    } else if (name == "--demo-size") {
      options.demo_size = ParseSize(name, value());
    } else if (name == "--rate") {
      options.rate = ParseSize(name, value());
    } else if (name == "--drop-after") {
      // BYTES[:COUNT]; COUNT defaults to one answer.
      const std::string text = value();
      const auto colon = text.find(':');
      options.drop_after = ParseSize(name, text.substr(0, colon));
      options.drop_count = 1;
      if (colon != std::string::npos) {
        options.drop_count = ParseCount(name, text.substr(colon + 1));
      }
    } else {
      throw UsageError("unknown option \"" + arguments[i] + "\" (see --help)");
    }
  }
  return result;
}

std::string UsageText() {
  return R"(Usage: tarnel-service [options]

Stand-in download service for Tarnel: answers the info and log requests,
serves the reference page and installer files.

Options:
  --port N             port to listen on (default 8765; 0 picks a free one)
  --bind ADDR          address to listen on (default 127.0.0.1)
  --catalog FILE       JSON catalogue of packages (default: built-in demo, id 1)
  --files DIR          also serve the files in DIR under /files/<name>
  --log-file FILE      append every reported event to FILE as a JSON line
  --request-log FILE   append "METHOD target" to FILE for every request
  --demo-size BYTES    size of the demo installer (default 8M; K, M, G allowed)
  --rate BYTES         pace installer downloads to BYTES per second
                       (default unlimited; K, M, G allowed)
  --drop-after BYTES[:COUNT]
                       close the connection after BYTES bytes of body in the
                       first COUNT answers from /files/ that are longer
                       (default COUNT 1), so that clients must resume
  -h, --help           show this text

Events are also printed to standard output, one JSON line each.
Stops on SIGINT or SIGTERM.
)";
}

}  // namespace tarnel::standin
