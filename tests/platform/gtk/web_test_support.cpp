#include "web_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "platform/gtk/gtk_web_view.h"

namespace tarnel::platform::gtk::test {

PageServer::PageServer(std::map<std::string, std::string> pages, std::map<std::string, Handler> handlers)
    : pages_(std::move(pages)), handlers_(std::move(handlers)) {
  server_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    {
      std::lock_guard lock(mutex_);
      ++hits_[request.path];
    }
    // No keep-alive: stopping the server must not wait for WebKit's idle connection.
    response.set_header("Connection", "close");
    if (const auto handler = handlers_.find(request.path); handler != handlers_.end()) {
      handler->second(request, response);
      return;
    }
    const auto page = pages_.find(request.path);
    if (page == pages_.end()) {
      response.status = 404;
      return;
    }
    response.set_content(page->second, "text/html; charset=utf-8");
  });
  port_ = server_.bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  // The socket listens from bind on; wait for the accept loop too.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!server_.is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
}

PageServer::~PageServer() {
  server_.stop();
  thread_.join();
}

int PageServer::Hits(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto found = hits_.find(path);
  return found != hits_.end() ? found->second : 0;
}

std::string Page(const std::string& script) {
  return "<!doctype html><html><head><meta charset=\"utf-8\"></head><body><script>\n" + script +
         "\n</script></body></html>";
}

void BrowserRun::Run(const std::string& url, const std::function<void()>& scenario,
                     const std::function<void(IWebView&)>& configure) {
  target_.hook = [this, url, configure](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_CREATE) {
      Platform().browser().CreateEnvironment([this, url, configure](std::shared_ptr<IWebEnvironment> environment) {
        ASSERT_NE(environment, nullptr);
        environment->CreateController([this, url, configure](std::shared_ptr<IWebController> controller) {
          ASSERT_NE(controller, nullptr);
          view = controller->GetCoreWebView2();
          auto& settings = view->GetSettings();
          settings.PutIsScriptEnabled(true);
          settings.PutAreDefaultScriptDialogsEnabled(true);
          settings.PutIsWebMessageEnabled(true);
          settings.PutAreDevToolsEnabled(false);
          settings.PutAreDefaultContextMenusEnabled(false);
          controller->PutBounds(Platform().window().GetClientRect());
          view->Navigate(url);
          if (configure) configure(*view);
          view->AddWebMessageReceived([this](const std::optional<std::string>& text) { received.push_back(text); });
          controller_ = std::move(controller);
        });
      });
    }
    return message == WM_INITDIALOG ? 1 : 0;
  };
  RunModal(target_, [&] {
    ASSERT_TRUE(RunLoopUntil([this] { return view != nullptr; }));
    scenario();
  });
}

bool BrowserRun::WaitFor(const std::string& text) {
  return RunLoopUntil([&] { return Has(text); }, kPageTimeoutMs);
}

bool BrowserRun::Has(const std::string& text) const {
  return std::any_of(received.begin(), received.end(), [&](const auto& m) { return m && *m == text; });
}

std::optional<nlohmann::json> BrowserRun::WaitForJsonWith(const std::string& key) {
  std::optional<nlohmann::json> found;
  RunLoopUntil(
      [&] {
        for (const auto& message : received) {
          if (!message) continue;
          const auto value = nlohmann::json::parse(*message, nullptr, false);
          if (value.is_object() && value.contains(key)) {
            found = value;
            return true;
          }
        }
        return false;
      },
      kPageTimeoutMs);
  return found;
}

WebKitWebView* BrowserRun::WebKitView() const { return WEBKIT_WEB_VIEW(dynamic_cast<GtkWebView&>(*view).Widget()); }

std::string BrowserRun::Uri() const {
  const char* uri = webkit_web_view_get_uri(WebKitView());
  return uri != nullptr ? uri : "";
}

void RunLoopFor(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  RunLoopUntil([&] { return std::chrono::steady_clock::now() >= until; }, ms + 1000);
}

}  // namespace tarnel::platform::gtk::test
