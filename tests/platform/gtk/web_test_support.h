#pragma once
// Real pages for the browser tests: loopback web servers and a main window
// run with a browser view, as the application makes it. UI thread only,
// except the servers' handlers, which run on the server's thread.
#include <httplib.h>
#include <webkit2/webkit2.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gtk_test_support.h"
#include "platform/browser.h"

namespace tarnel::platform::gtk::test {

inline constexpr int kPageTimeoutMs = 20000;

// A loopback web server on 127.0.0.1 and a port of its own (one origin):
// fixed HTML pages by path, or handlers for anything else. Counts requests
// by path.
class PageServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  explicit PageServer(std::map<std::string, std::string> pages, std::map<std::string, Handler> handlers = {});
  ~PageServer();
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;

  std::string Url(const std::string& path) const { return Origin() + path; }
  std::string Origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // Requests for `path` so far (any thread).
  int Hits(const std::string& path) const;

 private:
  std::map<std::string, std::string> pages_;
  std::map<std::string, Handler> handlers_;
  mutable std::mutex mutex_;
  std::map<std::string, int> hits_;
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

// An HTML page that runs `script` in its body.
std::string Page(const std::string& script);

// Runs a window with a browser as the main window does: environment in
// WM_CREATE, then controller, settings, bounds, navigation and subscription.
class BrowserRun {
 public:
  // `url` is navigated to; `configure` acts on the view right after.
  void Run(const std::string& url, const std::function<void()>& scenario,
           const std::function<void(IWebView&)>& configure = {});

  // Waits for a page message with this text.
  bool WaitFor(const std::string& text);
  bool Has(const std::string& text) const;
  // The first page message that is JSON with `key`, parsed.
  std::optional<nlohmann::json> WaitForJsonWith(const std::string& key);

  WebKitWebView* WebKitView() const;
  // The view's address, empty when it has none.
  std::string Uri() const;

  std::shared_ptr<IWebView> view;
  std::vector<std::optional<std::string>> received;

 private:
  RecordingTarget target_;
  std::shared_ptr<IWebController> controller_;
};

// Runs the main loop for `ms` milliseconds.
void RunLoopFor(int ms);

}  // namespace tarnel::platform::gtk::test
