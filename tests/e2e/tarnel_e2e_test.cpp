// The real tarnel under a virtual X server, with the stand-in service on the
// build's API address, real pages and real files, used as a person would.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "demo_installer.h"
#include "e2e_support.h"
#include "file_digest.h"
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
// The installer that the flaky server cuts short twice, and where it cuts.
constexpr std::uint64_t kFlakySize = 6 << 20;
constexpr std::uint64_t kFlakyCut = 1536 << 10;
// The file that changes on its server while a download of it waits to resume.
constexpr std::size_t kChangingSize = 2 << 20;
constexpr std::uint64_t kChangingCut = 512 << 10;

std::string Pattern(std::size_t size, int seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + static_cast<std::size_t>(seed)) % 251);
  return bytes;
}

const char kPageScript[] = R"(<script>
const wv = window.chrome.webview;
const post = (type, data) => wv.postMessage(JSON.stringify(data === undefined ? {msg_type: type} : {msg_type: type, msg_data: data}));
const report = (e) => post("post_data", {event_id: e});
</script>)";

std::string Page(const std::string& body) {
  return std::string("<!doctype html><meta charset=utf-8>") + kPageScript + body;
}

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
</script>)"),
                      "text/html");
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
</script>)"),
                      "text/html");
    });
    pages_->Get("/drag.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Page(R"(<body style="margin:0;height:100vh;background:#36c"><script>
const at = (e) => ({x: Math.round(e.clientX * devicePixelRatio), y: Math.round(e.clientY * devicePixelRatio)});
document.addEventListener("mousedown", (e) => post("mousedown", at(e)));
document.addEventListener("mousemove", (e) => { if (e.buttons & 1) post("mousemove", at(e)); });
document.addEventListener("mouseup", (e) => post("mouseup", at(e)));
post("resize_window", {width: 400, height: 300});
report("ready");
</script>)"),
                      "text/html");
    });
    pages_->Get("/close.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Page(R"(<body><script>
post("resize_window", {width: 320, height: 240});
wv.addEventListener("message", (e) => report("unexpected:" + JSON.stringify(e.data)));
setTimeout(() => post("close", {force_close: false}), 300);
</script>)"),
                      "text/html");
    });
    pages_->Get("/flood.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Page(R"(<body><script>
post("resize_window", {width: 300, height: 200});
// Far deeper than any message may be, then a flood of dialogs to open.
wv.postMessage('{"msg_type":"dnld","msg_data":' + "[".repeat(200000) + "]".repeat(200000) + "}");
for (let i = 0; i < 4000; i++) post("install");
report("flooded");
</script>)"),
                      "text/html");
    });
    pages_->Start();

    // Installer servers on ports of their own: one that drops the connection
    // in the first two answers, one slow enough to cancel in the middle.
    standin::ServiceOptions flaky;
    flaky.port = 0;
    flaky.demo_size = kFlakySize;
    flaky.rate = 4 << 20;
    flaky.drop_after = kFlakyCut;
    flaky.drop_count = 2;
    flaky_ = new standin::StandinService(flaky);
    flaky_->Start();
    standin::ServiceOptions slow;
    slow.port = 0;
    slow.rate = 256 << 10;  // the 8 MiB demo installer would take half a minute
    slow_ = new standin::StandinService(slow);
    slow_->Start();
    files_ = new test::TempDir();
    fs::create_directories(files_->file("files"));
    WriteFile(files_->file("files/tool.bin"), Pattern(kChangingSize, 1));
    standin::ServiceOptions changing;
    changing.port = 0;
    changing.files_dir = files_->file("files");
    changing.rate = 1 << 20;
    changing.drop_after = kChangingCut;
    changing.drop_count = 1;
    changing_ = new standin::StandinService(changing);
    changing_->Start();

    catalog_ = new test::TempDir();
    nlohmann::json packages = nlohmann::json::array();
    packages.push_back({{"id", 1}, {"name", "Tarnel 演示安装包"}});
    int id = 11;
    for (const char* page : {"/hold.html", "/burst.html", "/drag.html", "/close.html", "/flood.html"}) {
      packages.push_back({{"id", id++}, {"name", std::string("E2E ") + page}, {"page", pages_->Url(page)}});
    }
    // The reference page of this service, told to report what it hears (#trace).
    const auto tracedPage = [](int packageId) {
      return "http://127.0.0.1:" + std::to_string(kServicePort) + "/pages/" + std::to_string(packageId) +
             "/index.html#trace";
    };
    packages.push_back({{"id", 21},
                        {"name", "E2E resume"},
                        {"page", tracedPage(21)},
                        {"installer", flaky_->BaseUrl() + "/files/tarnel-demo-setup.sh"},
                        {"sha256", standin::ToHex(standin::DigestOf(*FlakyInstaller()))}});
    packages.push_back({{"id", 22},
                        {"name", "E2E cancel"},
                        {"page", tracedPage(22)},
                        {"installer", slow_->BaseUrl() + "/files/tarnel-demo-setup.sh"}});
    packages.push_back({{"id", 23},
                        {"name", "E2E changed"},
                        {"page", tracedPage(23)},
                        {"installer", changing_->BaseUrl() + "/files/tool.bin"}});
    // The page passes this package's checksum on with "dnld"; it is not the installer's.
    packages.push_back(
        {{"id", 24}, {"name", "E2E checksum"}, {"page", tracedPage(24)}, {"sha256", std::string(64, 'a')}});
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
    delete flaky_;
    delete slow_;
    delete changing_;
    delete files_;
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
    eventsBefore_ = service_->RecordedEvents().size();
    return StartTarnel(dir_.path(), display_->name(), downloaderId, kUuid);
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

  // What the flaky server serves, made here rather than fetched from it.
  static std::unique_ptr<standin::DemoInstaller> FlakyInstaller() {
    return std::make_unique<standin::DemoInstaller>(kFlakySize);
  }
  // The "trace:..." events of a page opened with #trace, without the prefix.
  std::vector<std::string> Traces() {
    std::vector<std::string> traces;
    for (const auto& code : EventCodes()) {
      if (code.rfind("trace:", 0) == 0) traces.push_back(code.substr(6));
    }
    return traces;
  }
  bool WaitForTrace(const std::string& trace, std::chrono::milliseconds timeout = 15s) {
    return WaitFor(
        [&] {
          const auto traces = Traces();
          return std::find(traces.begin(), traces.end(), trace) != traces.end();
        },
        timeout);
  }
  // The reference page at 720 x 460 on screen.
  WindowInfo WaitForReferencePage() {
    WindowInfo shown;
    EXPECT_TRUE(WaitFor([&] {
      auto w = Window();
      // At its size off screen first, then on screen once the page has painted.
      const bool onScreen = w && w->viewable && w->width == 720 && w->x >= 0 && w->y >= 0;
      if (onScreen) shown = *w;
      return onScreen;
    }));
    std::this_thread::sleep_for(300ms);  // package.json read, first paint done
    return shown;
  }
  // Clicks at a point of the window. The pointer first goes beside it: a
  // "mousemove --sync" to where the pointer already is waits for motion that
  // never comes (xdotool gives up after about 15 s).
  void Click(const WindowInfo& w, int x, int y) {
    Xdotool({"mousemove", std::to_string(w.x + x - 2), std::to_string(w.y + y), "mousemove", "--sync",
             std::to_string(w.x + x), std::to_string(w.y + y), "click", "1"});
  }
  std::vector<std::string> DownloadsFolder() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.file("home/Downloads"))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
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
  static standin::StandinService* flaky_;
  static standin::StandinService* slow_;
  static standin::StandinService* changing_;
  static test::TempDir* files_;
  test::TempDir dir_;
  size_t eventsBefore_ = 0;
};

VirtualDisplay* Tarnel::display_ = nullptr;
test::HttpTestServer* Tarnel::pages_ = nullptr;
test::TempDir* Tarnel::catalog_ = nullptr;
standin::StandinService* Tarnel::service_ = nullptr;
standin::StandinService* Tarnel::flaky_ = nullptr;
standin::StandinService* Tarnel::slow_ = nullptr;
standin::StandinService* Tarnel::changing_ = nullptr;
test::TempDir* Tarnel::files_ = nullptr;

// The reference page's buttons in window coordinates: Download (Try again,
// Install) and, to its left while a download runs, Cancel.
constexpr int kPrimaryButtonX = 570, kCancelButtonX = 421, kButtonY = 305;

TEST_F(Tarnel, OffScreenUntilThePageAsksThenCentredAtItsSizeWithItsTitle) {
  auto tarnel = Start(11);
  // The page is loaded and waiting: the window exists but is out of sight.
  ASSERT_TRUE(WaitFor([&] { return pages_->RequestCount() > 0 && Window().has_value(); }));
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& r : pages_->Requests())
      if (r.path == "/go") return true;
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
  })) << Window()->x
      << "," << Window()->y;
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
  // The page's size message came among the bad ones; the window manager's answer may lag the event.
  EXPECT_TRUE(WaitFor([&] {
    const auto w = Window();
    return w && w->width == 300 && w->height == 200;
  })) << (Window() ? Window()->width : -1)
      << "x" << (Window() ? Window()->height : -1);
  EXPECT_FALSE(tarnel->WaitForExit(200ms).has_value());
}

TEST_F(Tarnel, ADeepMessageAndAFloodOfInstallsLeaveTheProcessAliveWithOneDialog) {
  auto tarnel = Start(15);
  ASSERT_TRUE(WaitForEvent("flooded"));
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(tarnel->WaitForExit(200ms).has_value());
  // The main window and one message box; every other "install" was dropped.
  const std::string tree = XwinInfo(display_->name(), {"-root", "-tree"});
  int viewable = 0;
  std::istringstream lines(tree);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("(\"tarnel\" \"Tarnel\")") == std::string::npos) continue;
    const std::string id = line.substr(line.find("0x"), line.find(' ', line.find("0x")) - line.find("0x"));
    const std::string state = XwinInfo(display_->name(), {"-id", id});
    viewable += state.find("Map State: IsViewable") != std::string::npos;
  }
  EXPECT_EQ(viewable, 2);
  Screenshot("flood");
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
  })) << Window()->x
      << "," << Window()->y;
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
  const auto w = WaitForReferencePage();
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

  Click(w, kPrimaryButtonX, kButtonY);  // Install, where Download was
  ASSERT_TRUE(WaitFor([&] { return fs::exists(dir_.file("pkexec.args")); }, 10s));
  EXPECT_EQ(ReadFile(dir_.file("pkexec.args")), target + "\n");
  struct stat info {};
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_TRUE(info.st_mode & S_IXUSR);
  const auto codes = EventCodes();
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), "5");
}

TEST_F(Tarnel, ReferencePageDownloadResumesAcrossDroppedConnectionsWithProgressThatNeverGoesBack) {
  auto tarnel = Start(21);
  const WindowInfo w = WaitForReferencePage();
  Click(w, kPrimaryButtonX, kButtonY);
  const std::string target = dir_.file("home/Downloads/tarnel-demo-setup.sh");
  // Two drops, each followed by a wait of about one and two seconds.
  ASSERT_TRUE(WaitForTrace("dnld:2", 60s)) << ::testing::PrintToString(Traces());
  Screenshot("resume-finished");

  // The file is whole and the part file gone.
  ASSERT_TRUE(fs::exists(target));
  std::string expected(kFlakySize, '\0');
  ASSERT_EQ(FlakyInstaller()->Read(0, expected.data(), expected.size()), kFlakySize);
  const std::string downloaded = ReadFile(target);
  EXPECT_EQ(downloaded.size(), kFlakySize);
  EXPECT_TRUE(downloaded == expected) << "the downloaded file differs from the served one";
  EXPECT_EQ(DownloadsFolder(), std::vector<std::string>{"tarnel-demo-setup.sh"});

  // What the page heard: started, progress in whole-file terms that never
  // went back and passed both cuts, finished; no failure in between.
  const auto traces = Traces();
  ASSERT_FALSE(traces.empty());
  EXPECT_EQ(traces.front(), "dnld:1");
  EXPECT_EQ(traces.back(), "dnld:2");
  std::uint64_t last = 0;
  bool wentBack = false;
  std::size_t progress = 0;
  bool beforeFirstCut = false, betweenCuts = false, afterSecondCut = false;
  for (const auto& trace : traces) {
    EXPECT_NE(trace.rfind("dnld:0", 0), 0u) << trace;
    if (trace.rfind("dl_progress:", 0) != 0) continue;
    ++progress;
    const auto colon = trace.find(':', 12);
    const std::uint64_t now = std::stoull(trace.substr(12, colon - 12));
    const std::uint64_t total = std::stoull(trace.substr(colon + 1));
    EXPECT_EQ(total, kFlakySize) << trace;
    if (now < last && !wentBack) {
      ADD_FAILURE() << "progress went back from " << last << " to " << now;
      wentBack = true;
    }
    last = std::max(last, now);
    beforeFirstCut |= now > 0 && now <= kFlakyCut;
    betweenCuts |= now > kFlakyCut && now <= 2 * kFlakyCut;
    afterSecondCut |= now > 2 * kFlakyCut;
  }
  EXPECT_GT(progress, 3u);
  EXPECT_EQ(last, kFlakySize);
  // Resumed, not started over: three requests, and every byte sent once.
  const auto traffic = flaky_->FileTraffic();
  EXPECT_EQ(traffic.requests, 3u);
  EXPECT_EQ(traffic.body_bytes, kFlakySize);
  EXPECT_TRUE(beforeFirstCut && betweenCuts && afterSecondCut) << ::testing::PrintToString(traces);
  EXPECT_FALSE(tarnel->WaitForExit(100ms).has_value());
}

TEST_F(Tarnel, ReferencePageCancelStopsASlowDownloadAndLeavesNoPartFile) {
  auto tarnel = Start(22);
  const WindowInfo w = WaitForReferencePage();
  Click(w, kPrimaryButtonX, kButtonY);
  const std::string target = dir_.file("home/Downloads/tarnel-demo-setup.sh");
  ASSERT_TRUE(WaitFor([&] { return fs::exists(target + ".part"); }, 10s));
  // Bytes are flowing: the page has had progress.
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& trace : Traces()) {
      if (trace.rfind("dl_progress:", 0) == 0 && trace.rfind("dl_progress:0:", 0) != 0) return true;
    }
    return false;
  }));
  Screenshot("cancel-downloading");
  const auto clicked = std::chrono::steady_clock::now();
  Click(w, kCancelButtonX, kButtonY);
  ASSERT_TRUE(WaitFor([&] { return !fs::exists(target + ".part"); }, 5s)) << "the part file is still there";
  const auto partGone = std::chrono::steady_clock::now() - clicked;
  ASSERT_TRUE(WaitForTrace("dnld:0:cancelled", 5s)) << ::testing::PrintToString(Traces());
  // The click travels through X, WebKit and the page before the job hears of it.
  EXPECT_LT(partGone, 1500ms);
  std::this_thread::sleep_for(500ms);
  Screenshot("cancel-cancelled");
  EXPECT_TRUE(DownloadsFolder().empty()) << ::testing::PrintToString(DownloadsFolder());
  // Nothing arrives after the cancel: no finish, no more progress.
  const auto settled = Traces();
  std::this_thread::sleep_for(700ms);
  EXPECT_EQ(Traces(), settled);
  EXPECT_EQ(settled.back(), "dnld:0:cancelled");

  // Try again starts a new download.
  Click(w, kPrimaryButtonX, kButtonY);
  EXPECT_TRUE(WaitFor([&] {
    const auto traces = Traces();
    return std::count(traces.begin(), traces.end(), "dnld:1") >= 2;
  })) << ::testing::PrintToString(Traces());
  EXPECT_TRUE(WaitFor([&] { return fs::exists(target + ".part"); }, 10s));
}

TEST_F(Tarnel, ReferencePagePassesTheChecksumAndAMismatchRemovesTheFile) {
  auto tarnel = Start(24);
  const WindowInfo w = WaitForReferencePage();
  Click(w, kPrimaryButtonX, kButtonY);
  ASSERT_TRUE(WaitForTrace("dnld:0:checksum", 30s)) << ::testing::PrintToString(Traces());
  std::this_thread::sleep_for(300ms);
  Screenshot("checksum-failed");
  EXPECT_TRUE(DownloadsFolder().empty()) << ::testing::PrintToString(DownloadsFolder());
  const auto traces = Traces();
  EXPECT_EQ(std::count(traces.begin(), traces.end(), "dnld:2"), 0);
}

TEST_F(Tarnel, AFileThatChangedBeforeTheResumeIsDownloadedAnewWithoutProgressGoingBack) {
  auto tarnel = Start(23);
  const WindowInfo w = WaitForReferencePage();
  Click(w, kPrimaryButtonX, kButtonY);
  // The first answer breaks off; while the job waits to retry, the file is
  // replaced (a new inode, so a new ETag): the resume's If-Range no longer
  // matches and the server answers with the whole new file.
  ASSERT_TRUE(WaitFor(
      [&] {
        const auto traffic = changing_->FileTraffic();
        return traffic.requests == 1 && traffic.body_bytes == kChangingCut;
      },
      20s));
  const std::string replacement = Pattern(kChangingSize, 2);
  WriteFile(files_->file("files/tool.bin.new"), replacement);
  fs::rename(files_->file("files/tool.bin.new"), files_->file("files/tool.bin"));

  ASSERT_TRUE(WaitForTrace("dnld:2", 60s)) << ::testing::PrintToString(Traces());
  const std::string target = dir_.file("home/Downloads/tool.bin");
  ASSERT_TRUE(fs::exists(target));
  EXPECT_TRUE(ReadFile(target) == replacement) << "the downloaded file is not the server's new content";
  EXPECT_EQ(changing_->FileTraffic().requests, 2u);
  std::uint64_t last = 0;
  bool wentBack = false;
  for (const auto& trace : Traces()) {
    EXPECT_NE(trace.rfind("dnld:0", 0), 0u) << trace;
    if (trace.rfind("dl_progress:", 0) != 0) continue;
    const std::uint64_t now = std::stoull(trace.substr(12, trace.find(':', 12) - 12));
    if (now < last && !wentBack) {
      ADD_FAILURE() << "progress went back from " << last << " to " << now << ": "
                    << ::testing::PrintToString(Traces());
      wentBack = true;
    }
    last = now;
  }
  EXPECT_EQ(last, kChangingSize);
}

}  // namespace
}  // namespace tarnel::e2e
