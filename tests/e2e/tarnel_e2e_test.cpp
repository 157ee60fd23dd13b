// The real tarnel under a virtual X server, with the stand-in service on the
// build's API address, real pages and real files, used as a person would.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "e2e_support.h"
#include "standin_service.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace tarnel::e2e {
namespace {

using test::ReadFile;
using test::WriteFile;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kServicePort = TARNEL_API_PORT;
const char kUuid[] = "E2E0000000000000uuidFromConfigIn";

const char kPageScript[] = R"(<script>
const wv = window.chrome.webview;
const post = (type, data) => wv.postMessage(JSON.stringify(data === undefined ? {msg_type: type} : {msg_type: type, msg_data: data}));
const report = (e) => post("post_data", {event_id: e});
</script>)";

std::string Page(const std::string& body) { return std::string("<!doctype html><meta charset=utf-8>") + kPageScript + body; }

// One stand-in service and one page server for the whole suite; each test
// starts its own tarnel in a folder of its own.
class Tarnel : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    display_ = new VirtualDisplay();
    pages_ = new test::HttpTestServer();
    pages_->Get("/go", [](const httplib::Request&, httplib::Response& res) {
      pages_->Hold();
      res.set_content("go", "text/plain");
    });
    pages_->Get("/hold.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Page(R"(<body style="background:#2a6"><script>
fetch("/go").then(() => { post("resize_window", {width: 400, height: 300, window_text: "E2E 窗口"}); report("resized"); });
</script>)"), "text/html");
    });
    pages_->Get("/burst.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Page(R"(<body><script>
post("resize_window", {width: 300, height: 200});
const bad = ["not json", "", "\u0000", "[1,2]", "null", '{"msg_type":"Close","msg_data":{"force_close":true}}',
  '{"msg_type":"close"}', '{"msg_type":"close","msg_data":{"force_close":"yes"}}',
  '{"msg_type":"resize_window","msg_data":{"width":"wide"}}', '{"msg_type":"dnld","msg_data":{"url":5,"silent":true}}',
  '{"msg_type":"mousedown","msg_data":{"x":1}}', '{"msg_type":"post_data","msg_data":{"event_id":7}}',
  '{"msg_type":"open_url","msg_data":{"url":"file:///etc/passwd"}}', '{"msg_type":"minimize"} trailing'];
for (let i = 0; i < 20; i++) { for (const text of bad) wv.postMessage(text); wv.postMessage({msg_type: "minimize"}); wv.postMessage(42); }
post("open_url", {url: "https://example.org/docs?a=1&b=2"});
report("good");
</script>)"), "text/html");
    });
    pages_->Get("/drag.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Page(R"(<body style="margin:0;height:100vh;background:#36c"><script>
const at = (e) => ({x: Math.round(e.clientX * devicePixelRatio), y: Math.round(e.clientY * devicePixelRatio)});
document.addEventListener("mousedown", (e) => post("mousedown", at(e)));
document.addEventListener("mousemove", (e) => { if (e.buttons & 1) post("mousemove", at(e)); });
document.addEventListener("mouseup", (e) => post("mouseup", at(e)));
post("resize_window", {width: 400, height: 300});
report("ready");
</script>)"), "text/html");
    });
    pages_->Get("/close.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Page(R"(<body><script>
post("resize_window", {width: 320, height: 240});
wv.addEventListener("message", (e) => report("unexpected:" + JSON.stringify(e.data)));
setTimeout(() => post("close", {force_close: false}), 300);
</script>)"), "text/html");
    });
    pages_->Start();

    catalog_ = new test::TempDir();
    nlohmann::json packages = nlohmann::json::array();
    packages.push_back({{"id", 1}, {"name", "Tarnel 演示安装包"}});
    int id = 11;
    for (const char* page : {"/hold.html", "/burst.html", "/drag.html", "/close.html"}) {
      packages.push_back({{"id", id++}, {"name", std::string("E2E ") + page}, {"page", pages_->Url(page)}});
    }
    WriteFile(catalog_->file("catalog.json"), nlohmann::json{{"packages", packages}}.dump());
    standin::ServiceOptions options;
    options.port = kServicePort;
    options.catalog_file = catalog_->file("catalog.json");
    options.rate = 4 << 20;  // the demo installer takes about two seconds
    service_ = new standin::StandinService(options);
    service_->Start();
  }
  static void TearDownTestSuite() {
    pages_->Release();
    delete service_;
    delete pages_;
    delete catalog_;
    delete display_;
  }
  void TearDown() override {
    pages_->Release();
    if (HasFailure()) {
      Screenshot(std::string("failed-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
      std::fprintf(stderr, "--- tarnel's output ---\n%s\n", ReadFile(dir_.file("tarnel.log")).c_str());
    }
  }

  // Starts tarnel copied alone into a fresh folder beside its config.ini.
  std::unique_ptr<Process> Start(int downloaderId) {
    fs::create_directories(dir_.file("app"));
    fs::copy_file(TARNEL_EXE, dir_.file("app/tarnel"));
    WriteFile(dir_.file("app/config.ini"),
              "[root]\ndownloader_id=" + std::to_string(downloaderId) + "\n[user]\nuuid=" + kUuid + "\n");
    fs::create_directories(dir_.file("home/.config"));
    fs::create_directories(dir_.file("home/Downloads"));
    fs::create_directories(dir_.file("bin"));
    fs::create_directories(dir_.file("runtime"));
    fs::permissions(dir_.file("runtime"), fs::perms::owner_all);
    WriteFile(dir_.file("home/.config/user-dirs.dirs"), "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");
    // Recording stand-ins for the programs tarnel starts.
    for (const char* tool : {"pkexec", "xdg-open"}) {
      WriteFile(dir_.file(std::string("bin/") + tool),
                "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + dir_.file(std::string(tool) + ".args") + "\"\n");
      fs::permissions(dir_.file(std::string("bin/") + tool), fs::perms::owner_all);
    }
    eventsBefore_ = service_->RecordedEvents().size();
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    return std::make_unique<Process>(
        std::vector<std::string>{dir_.file("app/tarnel")},
        std::map<std::string, std::string>{{"DISPLAY", display_->name()},
                                           {"HOME", dir_.file("home")},
                                           {"XDG_CONFIG_HOME", dir_.file("home/.config")},
                                           {"XDG_DATA_HOME", dir_.file("home/.local/share")},
                                           {"XDG_CACHE_HOME", dir_.file("home/.cache")},
                                           {"XDG_RUNTIME_DIR", dir_.file("runtime")},
                                           {"GSETTINGS_BACKEND", "memory"},
                                           {"NO_AT_BRIDGE", "1"},
                                           {"WEBKIT_DISABLE_COMPOSITING_MODE", "1"},
                                           {"PATH", dir_.file("bin") + ":" + path}},
        dir_.file("tarnel.log"));
  }

  // Events reported since this test's tarnel started.
  std::vector<nlohmann::json> Events() {
    auto all = service_->RecordedEvents();
    return std::vector<nlohmann::json>(all.begin() + static_cast<long>(eventsBefore_), all.end());
  }
  std::vector<std::string> EventCodes() {
    std::vector<std::string> codes;
    for (const auto& e : Events()) codes.push_back(e["event"].get<std::string>());
    return codes;
  }
  bool WaitForEvent(const std::string& code) {
    return WaitFor([&] {
      const auto codes = EventCodes();
      return std::find(codes.begin(), codes.end(), code) != codes.end();
    });
  }
  std::optional<WindowInfo> Window() { return FindTarnelWindow(display_->name()); }
  std::string Screenshot(const std::string& name) {
    const fs::path folder = fs::path(TARNEL_E2E_SHOTS);
    fs::create_directories(folder);
    const std::string file = (folder / (name + ".png")).string();
    Capture({"import", "-window", "root", file}, {{"DISPLAY", display_->name()}});
    return file;
  }
  void Xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    Capture(argv, {{"DISPLAY", display_->name()}});
  }

  static VirtualDisplay* display_;
  static test::HttpTestServer* pages_;
  static test::TempDir* catalog_;
  static standin::StandinService* service_;
  test::TempDir dir_;
  size_t eventsBefore_ = 0;
};

VirtualDisplay* Tarnel::display_ = nullptr;
test::HttpTestServer* Tarnel::pages_ = nullptr;
test::TempDir* Tarnel::catalog_ = nullptr;
standin::StandinService* Tarnel::service_ = nullptr;

TEST_F(Tarnel, OffScreenUntilThePageAsksThenCentredAtItsSizeWithItsTitle) {
  auto tarnel = Start(11);
  // The page is loaded and waiting: the window exists but is out of sight.
  ASSERT_TRUE(WaitFor([&] { return pages_->RequestCount() > 0 && Window().has_value(); }));
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& r : pages_->Requests()) if (r.path == "/go") return true;
    return false;
  }));
  const auto hidden = Window();
  ASSERT_TRUE(hidden);
  EXPECT_TRUE(hidden->x + hidden->width <= 0 || !hidden->viewable) << hidden->x << " viewable " << hidden->viewable;
  EXPECT_EQ(hidden->title, "E2E /hold.html");

  pages_->Release();
  ASSERT_TRUE(WaitForEvent("resized"));
  ASSERT_TRUE(WaitFor([&] {
    auto w = Window();
    return w && w->viewable && w->x == 440 && w->y == 362;
  })) << Window()->x << "," << Window()->y;
  const auto shown = Window();
  EXPECT_EQ(shown->width, 400);
  EXPECT_EQ(shown->height, 300);
  EXPECT_EQ(shown->title, "E2E 窗口");
  const auto events = Events();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0]["event"], "5");
  EXPECT_EQ(events[0]["downloader_id"], "11");
  EXPECT_EQ(events[0]["uuid"], kUuid);
  EXPECT_EQ(events[0]["parts"], nlohmann::json({"downloader_id", "event", "uuid"}));
  Screenshot("hold-page");
}

TEST_F(Tarnel, ABurstOfBadMessagesLeavesTheGoodOneHandled) {
  auto tarnel = Start(12);
  ASSERT_TRUE(WaitForEvent("good"));
  // Only the well-formed messages acted: the refused open_url still reports "4".
  std::vector<std::string> expected{"5"};
  expected.insert(expected.end(), 21, "4");
  expected.push_back("good");
  EXPECT_EQ(EventCodes(), expected);
  // The opener got the one web address, as one argument, and never the file.
  ASSERT_TRUE(WaitFor([&] { return fs::exists(dir_.file("xdg-open.args")); }));
  EXPECT_EQ(ReadFile(dir_.file("xdg-open.args")), "https://example.org/docs?a=1&b=2\n");
  const auto w = Window();
  ASSERT_TRUE(w);
  EXPECT_EQ(w->width, 300);
  EXPECT_EQ(w->height, 200);
  EXPECT_FALSE(tarnel->WaitForExit(200ms).has_value());
}

TEST_F(Tarnel, DragMovesTheWindowByThePointerDisplacement) {
  auto tarnel = Start(13);
  ASSERT_TRUE(WaitForEvent("ready"));
  ASSERT_TRUE(WaitFor([&] {
    auto w = Window();
    return w && w->viewable && w->x == 440 && w->y == 362;
  }));
  Xdotool({"mousemove", "--sync", "540", "412"});
  Xdotool({"mousedown", "1"});
  std::this_thread::sleep_for(200ms);  // the page's mousedown travels through the bridge
  for (int step = 1; step <= 10; ++step) {
    Xdotool({"mousemove", "--sync", std::to_string(540 + 12 * step), std::to_string(412 + 5 * step)});
  }
  Xdotool({"mouseup", "1"});
  EXPECT_TRUE(WaitFor([&] {
    auto w = Window();
    return w && w->x == 560 && w->y == 412;
  })) << Window()->x << "," << Window()->y;
  // Released: the pointer moves alone now.
  Xdotool({"mousemove", "--sync", "300", "300"});
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(Window()->x, 560);
  EXPECT_EQ(Window()->y, 412);
}

TEST_F(Tarnel, ClosePageMessageEndsTheProcess) {
  auto tarnel = Start(14);
  const auto status = tarnel->WaitForExit(20s);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0);
  EXPECT_FALSE(Window().has_value());
  // No download ran, so no close notification reached the page.
  for (const auto& code : EventCodes()) EXPECT_EQ(code.rfind("unexpected:", 0), std::string::npos) << code;
}

TEST_F(Tarnel, ReferencePageDownloadsTheInstallerAndInstallsIt) {
  auto tarnel = Start(1);
  ASSERT_TRUE(WaitFor([&] {
    auto w = Window();
    return w && w->viewable && w->width == 720;
  }));
  const auto w = *Window();
  // The page's Download button, then Install in its place after the finish.
  const std::string buttonX = std::to_string(w.x + 570), buttonY = std::to_string(w.y + 305);
  std::this_thread::sleep_for(300ms);
  Screenshot("reference-page");
  Xdotool({"mousemove", "--sync", buttonX, buttonY, "click", "1"});
  const std::string target = dir_.file("home/Downloads/tarnel-demo-setup.sh");
  ASSERT_TRUE(WaitFor([&] { return fs::exists(target + ".part"); }, 10s));
  std::this_thread::sleep_for(700ms);
  Screenshot("reference-page-downloading");
  ASSERT_TRUE(WaitFor([&] { return fs::exists(target); }, 30s));
  EXPECT_FALSE(fs::exists(target + ".part"));
  httplib::Client client("127.0.0.1", kServicePort);
  const auto served = client.Get("/files/tarnel-demo-setup.sh");
  ASSERT_TRUE(served);
  EXPECT_EQ(ReadFile(target), served->body);
  std::this_thread::sleep_for(500ms);
  Screenshot("reference-page-finished");

  Xdotool({"mousemove", "--sync", buttonX, buttonY, "click", "1"});
  ASSERT_TRUE(WaitFor([&] { return fs::exists(dir_.file("pkexec.args")); }, 10s));
  EXPECT_EQ(ReadFile(dir_.file("pkexec.args")), target + "\n");
  struct stat info {};
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_TRUE(info.st_mode & S_IXUSR);
  const auto codes = EventCodes();
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), "5");
}

}  // namespace
}  // namespace tarnel::e2e
