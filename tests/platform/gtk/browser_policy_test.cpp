// What the embedded browser refuses to do for a page: download anything,
// take the main frame to another origin, give the page bridge to another
// origin; and what it does with a user's click on a link elsewhere. Also
// where the browser keeps its data and that its web process is sandboxed.
#include <gtest/gtest.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "gtk_test_support.h"
#include "platform/script_text.h"
#include "platform/url_rules.h"
#include "web_test_support.h"

namespace tarnel::platform::gtk::test {
namespace {

namespace fs = std::filesystem;

// The key the test run sets before its first view (gtk_test_main.cpp).
constexpr char kRunKey[] = "4711";

// Where WebKit's own download machinery would put a file.
fs::path DownloadsFolder() {
  const char* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  return downloads != nullptr ? fs::path(downloads) : fs::path(g_get_home_dir());
}

// Every file under the test's home (where downloads would land), by path.
std::set<std::string> FilesUnderHome() {
  std::set<std::string> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(g_get_home_dir(), error); it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (error) break;
    if (it->is_regular_file()) files.insert(it->path().string());
  }
  return files;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// An answer WebKit would save as a download.
PageServer::Handler Attachment(const std::string& name) {
  return [name](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
    response.set_content("downloaded by the browser", "text/plain");
  };
}

// An answer of a type WebKit cannot show.
PageServer::Handler Binary() {
  return [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string("\x7f"
                                     "ELF binary",
                                     10),
                         "application/octet-stream");
  };
}

// The application's page: says hello and echoes every message.
const std::string kEchoPage = Page(R"(
var webview = window.chrome.webview;
webview.addEventListener("message", function (e) { webview.postMessage(JSON.stringify({ echo: e.data })); });
webview.postMessage("hello");
)");

std::string FramePage(const std::string& src) {
  return Page(
      "var f = document.createElement('iframe');\n"
      "f.src = " +
      JsStringLiteral(src) +
      ";\n"
      "document.body.appendChild(f);\n"
      "window.chrome.webview.postMessage('hello');");
}

// The page is still there and still hears the application.
void ExpectPageAlive(BrowserRun& run, const std::string& token) {
  run.view->PostWebMessageAsJson(nlohmann::json(token).dump());
  EXPECT_TRUE(run.WaitFor(nlohmann::json({{"echo", token}}).dump())) << "the page of the trusted origin is gone";
}

TEST(GtkBrowserPolicy, AttachmentsAndUndisplayableAnswersInAFrameAreNeverDownloaded) {
  const fs::path downloads = DownloadsFolder();
  fs::create_directories(downloads);
  const fs::path existing = downloads / "tarnel-existing.bin";
  std::ofstream(existing) << "the user's own file";
  const std::set<std::string> before = FilesUnderHome();

  PageServer files({}, {{"/new", Attachment("tarnel-new.bin")},
                        {"/existing", Attachment("tarnel-existing.bin")},
                        {"/tarnel-binary.bin", Binary()}});
  // A link of the page's own origin that asks to be saved.
  PageServer app({{"/main", Page(R"(
var webview = window.chrome.webview;
webview.addEventListener("message", function (e) { webview.postMessage(JSON.stringify({ echo: e.data })); });
var a = document.createElement('a');
a.href = '/tarnel-anchor.txt';
a.download = 'tarnel-anchor.bin';
document.body.appendChild(a);
a.click();
)" + std::string("[") + JsStringLiteral(files.Url("/new")) +
                                 "," + JsStringLiteral(files.Url("/existing")) + "," +
                                 JsStringLiteral(files.Url("/tarnel-binary.bin")) + R"(].forEach(function (src) {
  var f = document.createElement('iframe');
  f.src = src;
  document.body.appendChild(f);
});
webview.postMessage("hello");
)")}},
                 {{"/tarnel-anchor.txt", [](const httplib::Request&, httplib::Response& response) {
                     response.set_content("saved by the browser", "text/plain");
                   }}});
  BrowserRun run;
  run.Run(app.Url("/main"), [&] {
    ASSERT_TRUE(run.WaitFor("hello"));
    ASSERT_TRUE(RunLoopUntil(
        [&] { return files.Hits("/new") > 0 && files.Hits("/existing") > 0 && files.Hits("/tarnel-binary.bin") > 0; },
        kPageTimeoutMs))
        << "the frames never asked for their answers";
    // Time for a download to be written, had one started.
    RunLoopFor(2000);
    ExpectPageAlive(run, "after-frames");
  });
  EXPECT_EQ(ReadFile(existing), "the user's own file");
  std::set<std::string> added;
  for (const auto& file : FilesUnderHome()) {
    if (before.count(file) == 0) added.insert(file);
  }
  EXPECT_TRUE(added.empty()) << "new file: " << *added.begin();
}

TEST(GtkBrowserPolicy, ScriptOfThePageCannotTakeTheMainFrameToAnotherOrigin) {
  PageServer other({{"/landing", Page("window.chrome && window.chrome.webview && "
                                      "window.chrome.webview.postMessage('landed');")},
                    {"/clicked", Page("")}});
  PageServer app({{"/main", kEchoPage}});
  BrowserRun run;
  run.Run(app.Url("/main"), [&] {
    ASSERT_TRUE(run.WaitFor("hello"));
    // location=, then a link that script clicks (no user behind it).
    webkit_web_view_evaluate_javascript(run.WebKitView(),
                                        ("location.href = " + JsStringLiteral(other.Url("/landing")) + ";").c_str(), -1,
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RunLoopUntil([&] { return other.Hits("/landing") > 0; }, kPageTimeoutMs));
    RunLoopFor(1000);
    EXPECT_EQ(OriginOf(run.Uri()), app.Origin()) << run.Uri();
    ClearRecords();
    webkit_web_view_evaluate_javascript(
        run.WebKitView(),
        ("var a = document.createElement('a'); a.href = " + JsStringLiteral(other.Url("/clicked")) +
         "; document.body.appendChild(a); a.click();")
            .c_str(),
        -1, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RunLoopUntil([&] { return other.Hits("/clicked") > 0; }, kPageTimeoutMs));
    RunLoopFor(1000);
    EXPECT_EQ(OriginOf(run.Uri()), app.Origin()) << run.Uri();
    ExpectPageAlive(run, "still-here");
    EXPECT_FALSE(run.Has("landed"));
    // Not a user's click: nothing for the desktop's browser either.
    EXPECT_TRUE(RecordedCalls("xdg-open").empty());
  });
}

TEST(GtkBrowserPolicy, ScriptCannotReplaceTheMainFrameWithADocumentWithoutTheOrigin) {
  PageServer app({{"/main", kEchoPage}});
  BrowserRun run;
  run.Run(app.Url("/main"), [&] {
    ASSERT_TRUE(run.WaitFor("hello"));
    for (const std::string address : {"about:blank", "data:text/html,<p>data</p>", "blob-url"}) {
      const std::string script =
          address == "blob-url" ? "location.href = URL.createObjectURL(new Blob(['<p>blob</p>'], {type: 'text/html'}));"
                                : "location.href = " + JsStringLiteral(address) + ";";
      webkit_web_view_evaluate_javascript(run.WebKitView(), script.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
                                          nullptr);
      RunLoopFor(1000);
      EXPECT_EQ(OriginOf(run.Uri()), app.Origin()) << address << ": " << run.Uri();
    }
    ExpectPageAlive(run, "still-here");
  });
}

TEST(GtkBrowserPolicy, FramesWithoutAnAddressStillWorkForThePage) {
  PageServer app({{"/main", Page(R"(
function fill(frame) {
  var d = frame.contentDocument;
  d.open(); d.write('<p id="p">written</p>'); d.close();
  return d.getElementById('p') ? d.getElementById('p').textContent : 'missing';
}
var plain = document.createElement('iframe');
document.body.appendChild(plain);
var blank = document.createElement('iframe');
blank.src = 'about:blank';
document.body.appendChild(blank);
var srcdoc = document.createElement('iframe');
srcdoc.srcdoc = '<p id="p">srcdoc</p>';
srcdoc.onload = function () {
  var p = srcdoc.contentDocument && srcdoc.contentDocument.getElementById('p');
  window.chrome.webview.postMessage(JSON.stringify({ frames: [fill(plain), fill(blank), p ? p.textContent : 'missing'] }));
};
document.body.appendChild(srcdoc);
)")}});
  BrowserRun run;
  run.Run(app.Url("/main"), [&] {
    const auto frames = run.WaitForJsonWith("frames");
    ASSERT_TRUE(frames.has_value());
    EXPECT_EQ((*frames)["frames"], nlohmann::json::array({"written", "written", "srcdoc"}));
  });
}

TEST(GtkBrowserPolicy, AFrameOfAnotherOriginCannotTakeTheMainFrameThere) {
  PageServer other({{"/frame", Page("top.location.href = location.origin + '/landing';")}, {"/landing", Page("")}});
  PageServer app({{"/main", FramePage(other.Url("/frame"))}});
  BrowserRun run;
  run.Run(app.Url("/main"), [&] {
    ASSERT_TRUE(run.WaitFor("hello"));
    ASSERT_TRUE(RunLoopUntil([&] { return other.Hits("/landing") > 0; }, kPageTimeoutMs)) << "the frame never tried";
    RunLoopFor(1000);
    EXPECT_EQ(OriginOf(run.Uri()), app.Origin()) << run.Uri();
  });
}

TEST(GtkBrowserPolicy, APageAddressRedirectedToAnotherOriginIsNotShownThereAndNotHeard) {
  PageServer target({{"/page", Page("window.chrome.webview.postMessage('from-redirect-target');")}});
  PageServer app({}, {{"/start", [&target](const httplib::Request&, httplib::Response& response) {
                         response.set_redirect(target.Url("/page"), 302);
                       }}});
  BrowserRun run;
  run.Run(app.Url("/start"), [&] {
    ASSERT_TRUE(RunLoopUntil([&] { return target.Hits("/page") > 0; }, kPageTimeoutMs)) << "no redirect followed";
    RunLoopFor(1500);
    EXPECT_TRUE(run.received.empty());
    EXPECT_NE(OriginOf(run.Uri()), target.Origin()) << run.Uri();
  });
}

TEST(GtkBrowserPolicy, AUserClickOnALinkToAnotherOriginOpensTheDesktopBrowser) {
  PageServer other({{"/elsewhere", Page("")}});
  const std::string link = other.Url("/elsewhere?from=click");
  PageServer app({{"/main", Page(R"(
var a = document.createElement('a');
a.href = )" + JsStringLiteral(link) +
                                 R"(;
a.textContent = 'elsewhere';
a.style.cssText = 'position:fixed;left:0;top:0;width:100%;height:100%;display:block';
document.body.appendChild(a);
var webview = window.chrome.webview;
webview.addEventListener("message", function (e) { webview.postMessage(JSON.stringify({ echo: e.data })); });
webview.postMessage("hello");
)")}});
  ClearRecords();
  BrowserRun run;
  run.Run(app.Url("/main"), [&] {
    ASSERT_TRUE(run.WaitFor("hello"));
    ASSERT_TRUE(RunLoopUntil([&] { return GeometryOnServer(Platform().window().Widget()).viewable; }));
    const ServerGeometry g = GeometryOnServer(Platform().window().Widget());
    WarpPointer(g.x + g.width / 2, g.y + g.height / 2);
    DrainEvents();
    if (!FakeButton(true)) GTEST_SKIP() << "no XTest: no real click";
    FakeButton(false);
    ASSERT_TRUE(RunLoopUntil([] { return !RecordedCalls("xdg-open").empty(); }, kPageTimeoutMs))
        << "the click did not reach the desktop's browser; the view is at " << run.Uri();
    const auto calls = RecordedCalls("xdg-open");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, std::vector<std::string>{link});
    RunLoopFor(500);
    EXPECT_EQ(other.Hits("/elsewhere"), 0);
    EXPECT_EQ(OriginOf(run.Uri()), app.Origin()) << run.Uri();
    ExpectPageAlive(run, "after-click");
  });
}

// The mount namespace of WebKit web processes started by this process.
std::vector<std::string> WebProcessMountNamespaces() {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string comm = ReadFile(entry.path() / "comm");
    if (comm.rfind("WebKitWebProces", 0) != 0) continue;
    // Walk up the parents to this process.
    std::string current = pid;
    bool ours = false;
    for (int depth = 0; depth < 8 && !ours; ++depth) {
      const std::string stat = ReadFile(fs::path("/proc") / current / "stat");
      const auto close = stat.rfind(')');
      if (close == std::string::npos) break;
      std::istringstream fields(stat.substr(close + 2));
      std::string state;
      std::string parent;
      fields >> state >> parent;
      ours = parent == std::to_string(getpid());
      current = parent;
    }
    std::error_code error;
    if (ours) found.push_back(fs::read_symlink(entry.path() / "ns" / "mnt", error).string());
  }
  return found;
}

TEST(GtkBrowserPolicy, BrowserDataIsKeptPerKeyAndTheWebProcessIsSandboxed) {
  PageServer app({{"/main", Page("localStorage.setItem('k', 'v'); document.cookie = 'c=1; max-age=3600';\n"
                                 "window.chrome.webview.postMessage('stored');")}});
  BrowserRun run;
  run.Run(app.Url("/main"), [&] {
    ASSERT_TRUE(run.WaitFor("stored"));
    WebKitWebContext* context = webkit_web_view_get_context(run.WebKitView());
    WebKitWebsiteDataManager* manager = webkit_web_context_get_website_data_manager(context);
    const fs::path data = fs::path(std::getenv("XDG_DATA_HOME")) / "tarnel" / kRunKey;
    const fs::path cache = fs::path(std::getenv("XDG_CACHE_HOME")) / "tarnel" / kRunKey;
    const char* baseData = webkit_website_data_manager_get_base_data_directory(manager);
    const char* baseCache = webkit_website_data_manager_get_base_cache_directory(manager);
    EXPECT_EQ(std::string(baseData != nullptr ? baseData : ""), data.string());
    EXPECT_EQ(std::string(baseCache != nullptr ? baseCache : ""), cache.string());
    EXPECT_TRUE(fs::is_directory(data));
    EXPECT_TRUE(fs::is_directory(cache));
    EXPECT_EQ(fs::status(data).permissions() & fs::perms::all, fs::perms::owner_all);

    EXPECT_TRUE(webkit_web_context_get_sandbox_enabled(context));
    const auto namespaces = WebProcessMountNamespaces();
    ASSERT_FALSE(namespaces.empty()) << "no web process of ours found";
    std::error_code error;
    const std::string own = fs::read_symlink("/proc/self/ns/mnt", error).string();
    for (const auto& ns : namespaces) EXPECT_NE(ns, own) << "a web process runs outside a sandbox";
  });
}

}  // namespace
}  // namespace tarnel::platform::gtk::test
