#pragma once
// The controller of the one web view: the view fills the main window's
// client area as its only child, so GTK's size allocation keeps it there and
// the bounds only record what the application asked. UI thread only.
#include <memory>

#include "platform/browser.h"
#include "platform/gtk/gtk_web_view.h"

namespace tarnel::platform::gtk {

class GtkWebController final : public IWebController {
 public:
  explicit GtkWebController(std::shared_ptr<GtkWebView> view) : view_(std::move(view)) {}

  std::shared_ptr<IWebView> GetCoreWebView2() override { return view_; }
  void PutBounds(const Rect& bounds) override { bounds_ = bounds; }
  Rect Bounds() const { return bounds_; }

 private:
  std::shared_ptr<GtkWebView> view_;
  Rect bounds_;
};

}  // namespace tarnel::platform::gtk
