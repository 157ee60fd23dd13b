#include "platform/gtk/gtk_browser_platform.h"

#include "platform/gtk/gtk_web_environment.h"
#include "platform/gtk/main_loop.h"

namespace tarnel::platform::gtk {

void GtkBrowserPlatform::CreateEnvironment(EnvironmentCompleted completed) {
  const auto handle = window_.Handle();
  PostToMainLoop([this, handle, completed = std::move(completed)] {
    if (handle && !handle->IsWindow()) return;
    completed(std::make_shared<GtkWebEnvironment>(window_, shell_));
  });
}

}  // namespace tarnel::platform::gtk
