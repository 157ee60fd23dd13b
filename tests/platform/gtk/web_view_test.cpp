// The embedded browser with real pages from loopback servers: page messages
// both ways, their origin rule, and new-window requests.
#include <gtest/gtest.h>
#include <httplib.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

#include "gtk_test_support.h"
#include "platform/gtk/gtk_web_view.h"
#include "platform/script_text.h"
#include "platform/url_rules.h"
#include "web_test_support.h"

namespace tarnel::platform::gtk::test {
namespace {

// The page of the application's origin: it says hello, posts an object, and
// answers each message with a report of what it received.
const std::string kMainPage = Page(R"(
var webview = window.chrome.webview;
webview.addEventListener("message", function (e) {
  var d = e.data;
  if (d && d.kind === "check") {
    var p = d.payload;
    webview.postMessage(JSON.stringify({ report: {
      ownProto: Object.prototype.hasOwnProperty.call(p, "__proto__"),
      protoIsObject: Object.getPrototypeOf(p) === Object.prototype,
      polluted: ({}).x !== undefined,
      a: p.a,
      protoX: p["__proto__"].x,
      isMessageEvent: e instanceof MessageEvent
    }}));
  } else {
    webview.postMessage(JSON.stringify({ echo: d }));
  }
});
webview.postMessage(location.search === "?back" ? "hello-again" : "hello");
webview.postMessage({ not: "a string" });
webview.postMessage("after-object");
)");

TEST(GtkWebView, PageStringsArriveAsTextAndOtherValuesWithoutText) {
  PageServer server({{"/main", kMainPage}});
  BrowserRun run;
  run.Run(server.Url("/main"), [&] {
    ASSERT_TRUE(run.WaitFor("after-object"));
    ASSERT_EQ(run.received.size(), 3u);
    EXPECT_EQ(run.received[0], std::optional<std::string>("hello"));
    EXPECT_EQ(run.received[1], std::nullopt);
    EXPECT_EQ(run.received[2], std::optional<std::string>("after-object"));
  });
}

TEST(GtkWebView, JsonForThePageArrivesAsParsedDataNeverAsCode) {
  PageServer server({{"/main", kMainPage}});
  BrowserRun run;
  run.Run(server.Url("/main"), [&] {
    ASSERT_TRUE(run.WaitFor("after-object"));
    run.view->PostWebMessageAsJson(R"({"kind":"check","payload":{"a":1,"__proto__":{"x":1}}})");
    const auto report = run.WaitForJsonWith("report");
    ASSERT_TRUE(report.has_value());
    nlohmann::json r = (*report)["report"];  // a copy: a missing member reads as null
    EXPECT_EQ(r["ownProto"], true) << r.dump();
    EXPECT_EQ(r["protoIsObject"], true) << r.dump();
    EXPECT_EQ(r["polluted"], false) << r.dump();
    EXPECT_EQ(r["a"], 1);
    EXPECT_EQ(r["protoX"], 1);
    EXPECT_EQ(r["isMessageEvent"], true);

    // Texts that would run if they were spliced into a script.
    run.view->PostWebMessageAsJson("1);window.chrome.webview.postMessage('ran');(");
    run.view->PostWebMessageAsJson("\");window.chrome.webview.postMessage('ran');//");
    run.view->PostWebMessageAsJson("\"</script><script>window.chrome.webview.postMessage('ran')</script>\"");
    run.view->PostWebMessageAsJson("\"line\\u2028break\xE2\x80\xA8raw\"");
    run.view->PostWebMessageAsJson(R"({"kind":"done"})");
    ASSERT_TRUE(run.WaitFor(R"({"echo":{"kind":"done"}})"));
    EXPECT_FALSE(run.Has("ran"));
    EXPECT_TRUE(run.Has(R"({"echo":"</script><script>window.chrome.webview.postMessage('ran')</script>"})"));
    EXPECT_TRUE(
        run.Has("{\"echo\":\"line\xE2\x80\xA8"
                "break\xE2\x80\xA8raw\"}"));
  });
}

TEST(GtkWebView, JsonPostedWhileThePageLoadsIsDeliveredOnceItHasLoaded) {
  PageServer server({{"/main", kMainPage}});
  BrowserRun run;
  run.Run(
      server.Url("/main"), [&] { EXPECT_TRUE(run.WaitFor(R"({"echo":{"early":1}})")); },
      // Right after Navigate is asked for, before WebKit has started loading.
      [](IWebView& view) { view.PostWebMessageAsJson(R"({"early":1})"); });
}

TEST(GtkWebView, NavigateMovesTheTrustedOriginToTheAddressGiven) {
  PageServer app({{"/main", kMainPage}});
  PageServer other({{"/other", Page("window.chrome.webview.postMessage('from-other-origin');\n"
                                    "location.href = " +
                                    JsStringLiteral(app.Url("/main?back")) + ";")}});
  BrowserRun run;
  run.Run(app.Url("/main"), [&] {
    ASSERT_TRUE(run.WaitFor("hello"));
    run.view->Navigate(other.Url("/other"));
    // The address navigated to is trusted now.
    ASSERT_TRUE(run.WaitFor("from-other-origin"));
    // Its page cannot take the view back to the first origin: asked for, never shown.
    ASSERT_TRUE(RunLoopUntil([&] { return app.Hits("/main") >= 2; }, kPageTimeoutMs));
    RunLoopFor(500);
    EXPECT_FALSE(run.Has("hello-again"));
    EXPECT_EQ(OriginOf(run.Uri()), other.Origin());
    // What the first page posted before the next load committed still counts.
    EXPECT_TRUE(run.Has("after-object"));
  });
}

TEST(GtkWebView, AFrameOfAnotherOriginCannotPostThroughTheBareChannel) {
  PageServer frameServer(
      {{"/frame",
        Page("var handlers = window.webkit && window.webkit.messageHandlers;\n"
             "var channel = handlers && handlers[" +
             JsStringLiteral(kPageMessageChannel) +
             "];\n"
             // Claims the application's origin, which the frame can learn from its referrer.
             "var claimed = new URL(document.referrer).origin;\n"
             "if (channel) channel.postMessage({ token: 'guess', origin: claimed, isString: true, text: 'from-frame' "
             "});\n"
             "var api = !!(window.chrome && window.chrome.webview);\n"
             "parent.postMessage('frame:' + (channel ? 'posted' : 'no-channel') + (api ? ':api' : ''), '*');")}});
  PageServer app({{"/with-frame", Page("window.addEventListener('message', function (e) {\n"
                                       "  window.chrome.webview.postMessage(String(e.data));\n"
                                       "});\n"
                                       "var frame = document.createElement('iframe');\n"
                                       "frame.src = " +
                                       JsStringLiteral(frameServer.Url("/frame")) +
                                       ";\n"
                                       "document.body.appendChild(frame);")}});
  BrowserRun run;
  run.Run(app.Url("/with-frame"), [&] {
    ASSERT_TRUE(RunLoopUntil(
        [&] {
          return std::any_of(run.received.begin(), run.received.end(),
                             [](const auto& m) { return m && m->rfind("frame:", 0) == 0; });
        },
        kPageTimeoutMs));
    // The frame reached the channel (so the token is what kept it out) and
    // has no page API of its own.
    EXPECT_TRUE(run.Has("frame:posted"));
    EXPECT_FALSE(run.Has("from-frame"));
  });
}

TEST(GtkWebView, WebMessagesDisabledDeliverNothing) {
  PageServer server({{"/main", kMainPage}});
  BrowserRun run;
  bool finished = false;
  run.Run(
      server.Url("/main"),
      [&] {
        g_signal_connect(run.WebKitView(), "load-changed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer done) {
                           if (event == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(done) = true;
                         }),
                         &finished);
        ASSERT_TRUE(RunLoopUntil([&] { return finished; }, kPageTimeoutMs));
        DrainEvents();
        EXPECT_TRUE(run.received.empty());
      },
      [](IWebView& view) { view.GetSettings().PutIsWebMessageEnabled(false); });
}

TEST(GtkWebView, NewWindowsOpenWebAddressesOnTheDesktopAndNothingElse) {
  PageServer server({{"/opener", Page(R"(
var webview = window.chrome.webview;
webview.addEventListener("message", function (e) {
  var nulls = e.data.map(function (address) { return window.open(address) === null; });
  webview.postMessage(JSON.stringify({ opened: nulls }));
});
webview.postMessage("ready");
)")}});
  ClearRecords();
  const std::string web = "http://127.0.0.1:9/help?a=1&b=two";
  BrowserRun run;
  run.Run(
      server.Url("/opener"),
      [&] {
        ASSERT_TRUE(run.WaitFor("ready"));
        const nlohmann::json addresses = {web, "file:///etc/passwd", "javascript:void(0)", "mailto:a@example.com"};
        run.view->PostWebMessageAsJson(addresses.dump());
        const auto opened = run.WaitForJsonWith("opened");
        ASSERT_TRUE(opened.has_value());
        EXPECT_EQ((*opened)["opened"], nlohmann::json::array({true, true, true, true}));
        // No second window of our own.
        GList* windows = gtk_window_list_toplevels();
        int visible = 0;
        for (GList* item = windows; item != nullptr; item = item->next) {
          visible += gtk_widget_get_visible(GTK_WIDGET(item->data)) ? 1 : 0;
        }
        g_list_free(windows);
        EXPECT_EQ(visible, 1);
        // Every request was answered before "opened" came back; a last
        // opening of our own comes after anything they started.
        Platform().shell().OpenUrl("http://127.0.0.1:9/last");
        ASSERT_TRUE(RunLoopUntil([] { return RecordedCalls("xdg-open").size() >= 2; }));
      },
      [](IWebView& view) {
        // Let the page open windows without a click.
        WebKitSettings* settings =
            webkit_web_view_get_settings(WEBKIT_WEB_VIEW(dynamic_cast<GtkWebView&>(view).Widget()));
        webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
      });
  std::vector<std::vector<std::string>> calls;
  for (const auto& call : RecordedCalls("xdg-open")) calls.push_back(call.args);
  std::sort(calls.begin(), calls.end());
  EXPECT_EQ(calls, (std::vector<std::vector<std::string>>{{web}, {"http://127.0.0.1:9/last"}}));
}

TEST(GtkWebView, EmptyAddressLoadsNothing) {
  BrowserRun run;
  run.Run("", [&] {
    DrainEvents();
    EXPECT_EQ(webkit_web_view_get_uri(run.WebKitView()), nullptr);
    run.view->PostWebMessageAsJson(R"({"a":1})");  // nobody to hear it; no harm
    DrainEvents();
  });
}

}  // namespace
}  // namespace tarnel::platform::gtk::test
