#pragma once
// The embedded browser: environment, controller and view, created
// asynchronously. Every completion and page message is delivered on the UI
// thread through the main loop, never inside the call that asked for it.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/geometry.h"

namespace tarnel::platform {

class IWebViewSettings {
 public:
  virtual ~IWebViewSettings() = default;
  virtual void PutIsScriptEnabled(bool enabled) = 0;
  virtual void PutAreDefaultScriptDialogsEnabled(bool enabled) = 0;
  virtual void PutIsWebMessageEnabled(bool enabled) = 0;
  virtual void PutAreDevToolsEnabled(bool enabled) = 0;
  virtual void PutAreDefaultContextMenusEnabled(bool enabled) = 0;
};

// A page message: the text when the page posted a string, nothing otherwise.
using WebMessageReceived = std::function<void(const std::optional<std::string>& text)>;

class IWebView {
 public:
  virtual ~IWebView() = default;
  virtual IWebViewSettings& GetSettings() = 0;
  virtual void Navigate(const std::string& url) = 0;
  // The handler stays registered for the view's lifetime.
  virtual void AddWebMessageReceived(WebMessageReceived handler) = 0;
  // The page's listeners receive the parsed JSON value as the event's data.
  virtual void PostWebMessageAsJson(const std::string& json) = 0;
};

class IWebController {
 public:
  virtual ~IWebController() = default;
  virtual std::shared_ptr<IWebView> GetCoreWebView2() = 0;
  virtual void PutBounds(const Rect& bounds) = 0;
};

class IWebEnvironment;
// The environment, or null when it could not be created.
using EnvironmentCompleted = std::function<void(std::shared_ptr<IWebEnvironment>)>;
// The controller, or null when it could not be created.
using ControllerCompleted = std::function<void(std::shared_ptr<IWebController>)>;

class IWebEnvironment {
 public:
  virtual ~IWebEnvironment() = default;
  // The controller's view is a child of the dialog window.
  virtual void CreateController(ControllerCompleted completed) = 0;
};

class IBrowserPlatform {
 public:
  virtual ~IBrowserPlatform() = default;
  virtual void CreateEnvironment(EnvironmentCompleted completed) = 0;
  // Names the build whose browser data (cookies, storage, cache) the views
  // keep, so two builds never share it; called once the configuration is
  // read, before the first controller is made.
  virtual void SetUserDataKey(const std::string& key) = 0;
};

}  // namespace tarnel::platform
