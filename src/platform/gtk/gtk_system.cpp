#include "platform/gtk/gtk_system.h"

#include <filesystem>
#include <system_error>

namespace tarnel::platform::gtk {

std::string GtkSystem::GetModuleFileName() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

}  // namespace tarnel::platform::gtk
