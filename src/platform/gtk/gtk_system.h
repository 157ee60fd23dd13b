#pragma once
// What the application asks of the process itself. Any thread.
#include "platform/shell.h"

namespace tarnel::platform::gtk {

class GtkSystem final : public ISystem {
 public:
  // The target of /proc/self/exe; empty when it cannot be read.
  std::string GetModuleFileName() override;
  // GIO's default proxy resolver's first usable answer for the URL:
  // "direct://" becomes "", SOCKS 5 becomes "socks5h://", http(s) and SOCKS 4
  // stay as they are; an error or only unusable answers give nothing.
  // Lookups are serialised.
  std::optional<std::string> ProxyForUrl(const std::string& url) override;
};

}  // namespace tarnel::platform::gtk
