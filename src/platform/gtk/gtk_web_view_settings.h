#pragma once
// The settings of one web view: WebKit's own where it has them, flags that
// the view and its page bridge read for the rest. UI thread only.
#include <webkit2/webkit2.h>

#include "platform/browser.h"
#include "platform/gtk/glib_handles.h"

namespace tarnel::platform::gtk {

class GtkWebViewSettings final : public IWebViewSettings {
 public:
  explicit GtkWebViewSettings(WebKitSettings* settings);

  void PutIsScriptEnabled(bool enabled) override;
  // WebKit shows the page's alert, confirm and prompt dialogs itself; they
  // stay on whatever is asked, and no script-dialog handler is connected.
  void PutAreDefaultScriptDialogsEnabled(bool enabled) override;
  void PutIsWebMessageEnabled(bool enabled) override { webMessages_ = enabled; }
  void PutAreDevToolsEnabled(bool enabled) override;
  void PutAreDefaultContextMenusEnabled(bool enabled) override { contextMenus_ = enabled; }

  // Whether page messages reach the application and its messages the page.
  bool WebMessagesEnabled() const { return webMessages_; }
  bool ContextMenusEnabled() const { return contextMenus_; }

 private:
  GObjectPtr<WebKitSettings> settings_;
  bool webMessages_ = true;
  bool contextMenus_ = true;
};

}  // namespace tarnel::platform::gtk
