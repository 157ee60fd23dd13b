#pragma once
// The main window on the fake platform, with a config.ini in a folder of its
// own and a loopback stand-in for the service's info and log endpoints.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bridge/protocol.h"
#include "support/fake_platform.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "window/tarnel_dlg.h"

namespace tarnel::test {

inline const std::string kInfoPath(protocol::kInfoPath);
inline const std::string kLogPath(protocol::kLogPath);

class DlgHarness {
 public:
  DlgHarness() {
    service.Get(kInfoPath, [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(infoBody, "application/json");
    });
    service.Post(kLogPath, [](const httplib::Request&, httplib::Response& res) {
      res.set_content("{\"code\":200}", "application/json");
    });
    service.Start();
    fake.moduleFileName = dir.file("tarnel");
    config = "[root]\ndownloader_id=0\napi_url=" + service.Url(kInfoPath) + "\n[user]\nuuid=" + kUuid + "\n";
  }

  // Creates the window and initialises it; with `browser` the browser's
  // completions run too, so page messages can be delivered.
  void Start(bool browser = true) {
    WriteFile(dir.file("config.ini"), config);
    window::DlgOptions options;
    options.logUrl = service.Url(kLogPath);
    options.reportDrainBudget = std::chrono::milliseconds(3000);
    options.download = downloadLimits;
    options.downloadHooks = downloadHooks;
    dlg = std::make_unique<window::CTarnelDlg>(fake.platform(), options);
    fake.Create(*dlg);
    fake.InitDialog();
    if (browser) fake.RunPosted();
    fake.TakeCalls();
  }

  // Delivers a page message and runs what it posted.
  void Page(const std::string& text) {
    ASSERT_TRUE(fake.DeliverPageMessage(text));
    fake.RunPosted();
  }

  // The "event" parts that reached the log endpoint, waiting for `count`.
  std::vector<std::string> Events(size_t count) {
    const size_t base = InfoRequests();
    service.WaitForRequests(base + count, std::chrono::seconds(10));
    std::vector<std::string> events;
    for (const auto& request : service.Requests()) {
      if (request.path == kLogPath) events.push_back(request.files.find("event")->second.content);
    }
    return events;
  }

  size_t InfoRequests() {
    size_t n = 0;
    for (const auto& request : service.Requests()) n += request.path == kInfoPath;
    return n;
  }

  static constexpr const char* kUuid = "0123456789ABCDEFabcdefghijklmnop";
  std::string infoBody = R"({"code":200,"data":{"name":"Demo 演示","url1":"http://127.0.0.1:1/page.html"}})";
  std::string config;
  download::TransferLimits downloadLimits;
  // Retries follow at once: the window's tests are not about the backoff.
  download::JobHooks downloadHooks{[](std::chrono::milliseconds) {}, [] { return 0.0; }};
  TempDir dir;
  HttpTestServer service;
  FakePlatform fake;
  std::unique_ptr<window::CTarnelDlg> dlg;
};

}  // namespace tarnel::test
