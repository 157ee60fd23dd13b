#include "platform/gtk/gtk_web_environment.h"

#include "platform/gtk/gtk_web_controller.h"
#include "platform/gtk/main_loop.h"

namespace tarnel::platform::gtk {

void GtkWebEnvironment::CreateController(ControllerCompleted completed) {
  const auto handle = window_.Handle();
  // The environment may be released before this runs; the window, the shell
  // and the browser platform outlive it.
  PostToMainLoop([&window = window_, &shell = shell_, &browser = browser_, handle, completed = std::move(completed)] {
    if (handle && !handle->IsWindow()) return;  // the window this was asked for is gone
    std::shared_ptr<GtkWebView> view = handle ? GtkWebView::Create(shell, browser.WebContext()) : nullptr;
    if (!view || !window.AttachChild(view->Widget())) {
      completed(nullptr);
      return;
    }
    completed(std::make_shared<GtkWebController>(std::move(view)));
  });
}

}  // namespace tarnel::platform::gtk
