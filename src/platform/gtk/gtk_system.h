#pragma once
// What the application asks of the process itself. Any thread.
#include "platform/shell.h"

namespace tarnel::platform::gtk {

class GtkSystem final : public ISystem {
 public:
  // The target of /proc/self/exe; empty when it cannot be read.
  std::string GetModuleFileName() override;
};

}  // namespace tarnel::platform::gtk
