#pragma once
// Interpretation of the download service's info answer:
//   {"code": 200, "data": {"name": <display name>, "url1": <page address>}}
// Pure function, safe on any thread.
#include <optional>
#include <string>

namespace tarnel::service {

struct InfoAnswer {
  // Display name of the package (UTF-8), for the window title.
  std::optional<std::string> title;
  // Address of the web page the browser shows. Only ever set together with
  // the title.
  std::optional<std::string> pageUrl;
};

// Parses `body` strictly as one JSON value (no comments, nothing but white
// space after it). Gives nothing unless "code" equals the number 200; then the
// title when data.name is a string and, only after that, the page address when
// data.url1 is a string. Never throws.
InfoAnswer ParseInfoAnswer(const std::string& body);

}  // namespace tarnel::service
