#pragma once
// What the application asks of the process itself. Any thread.
#include "platform/shell.h"

namespace tarnel::platform::gtk {

class GtkSystem final : public ISystem {
 public:
  // The target of /proc/self/exe; empty when it cannot be read.
  std::string GetModuleFileName() override;
  // GIO's default proxy resolver's first answer for the URL.
  std::optional<std::string> ProxyForUrl(const std::string& url) override;
};

}  // namespace tarnel::platform::gtk
