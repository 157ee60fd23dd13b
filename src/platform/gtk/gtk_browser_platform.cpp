#include "platform/gtk/gtk_browser_platform.h"

#include <iostream>

#include "platform/gtk/gtk_web_environment.h"
#include "platform/gtk/main_loop.h"
#include "platform/gtk/web_context.h"

namespace tarnel::platform::gtk {

void GtkBrowserPlatform::CreateEnvironment(EnvironmentCompleted completed) {
  const auto handle = window_.Handle();
  PostToMainLoop([this, handle, completed = std::move(completed)] {
    if (handle && !handle->IsWindow()) return;
    completed(std::make_shared<GtkWebEnvironment>(window_, shell_, *this));
  });
}

void GtkBrowserPlatform::SetUserDataKey(const std::string& key) {
  if (context_) {
    std::cerr << "tarnel: the browser data key came after the first view; it is ignored\n";
    return;
  }
  userDataKey_ = key;
}

WebKitWebContext* GtkBrowserPlatform::WebContext() {
  if (!context_) context_ = NewWebContext(userDataKey_);
  return context_.get();
}

}  // namespace tarnel::platform::gtk
