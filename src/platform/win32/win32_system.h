#pragma once
// What the application asks of the process itself. Any thread.
#include "platform/shell.h"

namespace tarnel::platform::win32 {

class Win32System final : public ISystem {
 public:
  // The executable's full path, however long; empty when it cannot be read.
  std::string GetModuleFileName() override;
  // The user's proxy settings (WinHTTP's view of them): the automatic
  // configuration (auto-detection, a configuration script) for the URL when
  // it is set and answers, else the proxy set by hand with its bypass list;
  // "" for a direct connection; nothing when the settings cannot be read or
  // only the automatic configuration is set and it gives no answer.
  std::optional<std::string> ProxyForUrl(const std::string& url) override;
};

}  // namespace tarnel::platform::win32
