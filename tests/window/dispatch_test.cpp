// Page messages reaching their actions, and bad ones contained.
#include <gtest/gtest.h>

#include "window/dlg_harness.h"

namespace tarnel::test {
namespace {

using Lines = std::vector<std::string>;

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override { h.Start(); }
  Lines Calls(const std::string& text) {
    h.Page(text);
    return h.fake.TakeCalls();
  }
  DlgHarness h;
};

TEST_F(Dispatch, WindowCommandsWorkWithoutMsgDataAndResizeTheBrowser) {
  EXPECT_EQ(Calls(R"({"msg_type":"minimize"})"), (Lines{"ShowWindow 2", "PutBounds 0 0 480 325"}));
  EXPECT_EQ(Calls(R"({"msg_type":"maximize","msg_data":null})"), (Lines{"ShowWindow 3", "PutBounds 0 0 1920 1040"}));
  EXPECT_EQ(Calls(R"({"msg_type":"restore","msg_data":[1,2],"extra":true})"),
            (Lines{"ShowWindow 1", "PutBounds 0 0 1920 1040"}));
}

TEST_F(Dispatch, TextsThatAreNoPageMessageHaveNoEffect) {
  const std::vector<std::optional<std::string>> texts = {
      R"({"msg_type":"Close","msg_data":{"force_close":true}})",
      R"({"msg_type":"minimize "})",
      R"({"msg_type":"explode"})",
      R"({"msg_data":{"force_close":true}})",
      R"([{"msg_type":"minimize"}])",
      "1",
      "null",
      "",
      std::nullopt,
      R"({"msg_type":"minimize"} {"msg_type":"maximize"})",
      R"({"msg_type":"minimize"} // comment)",
      R"(/* c */ {"msg_type":"minimize"})",
      R"({"msg_type":7})",
      R"({"msg_type":"minimize")",
      std::string("{\"msg_type\":\"mini\0mize\"}", 24),
  };
  for (const auto& text : texts) {
    ASSERT_TRUE(h.fake.DeliverPageMessage(text));
    h.fake.RunPosted();
    EXPECT_EQ(h.fake.TakeCalls(), Lines{}) << text.value_or("<no text>");
  }
  EXPECT_FALSE(h.fake.ended());
  // The bridge still works after all of them.
  EXPECT_EQ(Calls(R"({"msg_type":"minimize"})"), (Lines{"ShowWindow 2", "PutBounds 0 0 480 325"}));
}

TEST_F(Dispatch, TextIsCutAtItsFirstNul) {
  EXPECT_EQ(Calls(std::string("{\"msg_type\":\"minimize\"}\0 trailing garbage", 40)),
            (Lines{"ShowWindow 2", "PutBounds 0 0 480 325"}));
}

TEST_F(Dispatch, WrongMemberTypesStopTheActionWithNoEffect) {
  const std::vector<std::string> texts = {
      R"({"msg_type":"resize_window","msg_data":{"width":"800"}})",
      R"({"msg_type":"resize_window","msg_data":{"width":800,"height":null}})",
      R"({"msg_type":"resize_window","msg_data":{"width":800,"window_text":5}})",
      R"({"msg_type":"resize_window","msg_data":{"width":1e300}})",
      R"({"msg_type":"mousedown","msg_data":{"x":1}})",
      R"({"msg_type":"mousedown","msg_data":{"x":"1","y":2}})",
      R"({"msg_type":"mouseup"})",
      R"({"msg_type":"close"})",
      R"({"msg_type":"close","msg_data":{"force_close":1}})",
      R"({"msg_type":"close","msg_data":{"force_close":"true"}})",
      R"({"msg_type":"post_data","msg_data":{"event_id":5}})",
      R"({"msg_type":"open_url","msg_data":{"url":null}})",
      R"({"msg_type":"open_url","msg_data":["https://example.org/"]})",
      R"({"msg_type":"dnld","msg_data":{"url":"http://127.0.0.1:1/a.exe"}})",
      R"({"msg_type":"dnld","msg_data":{"url":7,"silent":true}})",
  };
  for (const auto& text : texts) EXPECT_EQ(Calls(text), Lines{}) << text;
  EXPECT_FALSE(h.fake.ended());
  EXPECT_FALSE(h.dlg->Dragging());
  EXPECT_EQ(h.dlg->DnldState(), 0u);
  // Nothing was reported for any of them: the next report is the first.
  h.Page(R"({"msg_type":"post_data","msg_data":{"event_id":"after"}})");
  EXPECT_EQ(h.Events(1), Lines{"after"});
}

TEST_F(Dispatch, ResizeWindowScalesByDpiCentresAndReportsFive) {
  h.fake.dpi = {120, 120};
  EXPECT_EQ(Calls(R"({"msg_type":"resize_window","msg_data":{"width":800,"height":600}})"),
            (Lines{"SetWindowPos 0 0 1000 750 6", "PutBounds 0 0 1000 750", "CenterWindow"}));
  EXPECT_EQ(h.fake.windowRect(), (platform::Rect{460, 145, 1460, 895}));

  h.fake.dpi = {96, 96};
  // Fractions truncate before scaling; booleans count as 0 or 1.
  EXPECT_EQ(Calls(R"({"msg_type":"resize_window","msg_data":{"width":300.9,"height":true}})"),
            (Lines{"SetWindowPos 0 0 300 1 6", "PutBounds 0 0 300 1", "CenterWindow"}));
  // Only a title: set first, then the missing sizes mean 0 x 0, still centred.
  EXPECT_EQ(Calls(R"({"msg_type":"resize_window","msg_data":{"window_text":"标题 ☃"}})"),
            (Lines{"SetWindowText 标题 ☃", "SetWindowPos 0 0 0 0 6", "PutBounds 0 0 0 0", "CenterWindow"}));
  EXPECT_EQ(Calls(R"({"msg_type":"resize_window","msg_data":{}})"), (Lines{"SetWindowPos 0 0 0 0 6", "CenterWindow"}));
  // A msg_data that is no object has no sizes either.
  EXPECT_EQ(Calls(R"({"msg_type":"resize_window","msg_data":"wide"})"),
            (Lines{"SetWindowPos 0 0 0 0 6", "CenterWindow"}));
  EXPECT_EQ(h.Events(5), (Lines{"5", "5", "5", "5", "5"}));
}

TEST_F(Dispatch, DpiProductWrapsAsUnsigned32Bits) {
  h.fake.dpi = {144, 144};
  // 144 * 800 / 96 = 1200; a negative height wraps through the unsigned product.
  const Lines calls = Calls(R"({"msg_type":"resize_window","msg_data":{"width":800,"height":-1}})");
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), "SetWindowPos 0 0 1200 " + std::to_string((144u * 0xFFFFFFFFu) / 96u) + " 6");
}

TEST_F(Dispatch, DragMovesTheWindowByTheCursorDisplacement) {
  h.fake.SetWindowPos(100, 50, 0, 0, platform::SWP_NOSIZE);
  h.fake.TakeCalls();
  EXPECT_EQ(Calls(R"({"msg_type":"mousemove","msg_data":{"x":1,"y":1}})"), Lines{});
  EXPECT_EQ(Calls(R"({"msg_type":"mouseup","msg_data":{"x":1,"y":1}})"), Lines{});

  EXPECT_EQ(Calls(R"({"msg_type":"mousedown","msg_data":{"x":-5,"y":10}})"), Lines{"SetCapture"});
  EXPECT_TRUE(h.dlg->Dragging());
  // The window moved, so the same client point is now further right and down
  // on screen: each move is relative to the last screen point.
  EXPECT_EQ(Calls(R"({"msg_type":"mousemove","msg_data":{"x":5,"y":30}})"), Lines{"MoveWindow 110 70 590 395 0"});
  EXPECT_EQ(Calls(R"({"msg_type":"mousemove","msg_data":{"x":5,"y":30}})"), Lines{"MoveWindow 120 90 600 415 0"});
  EXPECT_EQ(Calls(R"({"msg_type":"mouseup","msg_data":{"x":5,"y":30}})"), Lines{"ReleaseCapture"});
  EXPECT_FALSE(h.dlg->Dragging());
  EXPECT_EQ(Calls(R"({"msg_type":"mousemove","msg_data":{"x":50,"y":50}})"), Lines{});
}

TEST_F(Dispatch, CloseNotifiesOnlyARunningDownloadThatIsNotForced) {
  EXPECT_EQ(Calls(R"({"msg_type":"close","msg_data":{"force_close":false}})"), Lines{"EndDialog 1"});
  const std::string note = R"(PostWebMessageAsJson {"msg_type":"close","status":1,"status_text":"dnld_running"})";
  for (const bool force : {false, true}) {
    DlgHarness running;
    running.Start();
    running.dlg->WindowProc(download::WM_DNLD_START, 0, 0);
    running.fake.TakeCalls();
    running.Page(std::string(R"({"msg_type":"close","msg_data":{"force_close":)") + (force ? "true" : "false") + "}}");
    EXPECT_EQ(running.fake.TakeCalls(), force ? Lines{"EndDialog 1"} : (Lines{note, "EndDialog 1"}));
  }
}

TEST_F(Dispatch, OpenUrlHandsOverOnlyWebAndMailAddressesAndAlwaysReportsFour) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"https://example.org/a?b=c#d", true}, {"http://127.0.0.1:8080/", true}, {"mailto:help@example.org", true},
      {"file:///etc/passwd", false},         {"/usr/bin/xterm", false},        {"--help", false},
      {"javascript:alert(1)", false},        {"docs/readme.html", false},
  };
  for (const auto& [url, opened] : cases) {
    EXPECT_EQ(Calls(R"({"msg_type":"open_url","msg_data":{"url":")" + url + R"("}})"),
              opened ? Lines{"OpenUrl " + url} : Lines{})
        << url;
  }
  EXPECT_EQ(h.Events(cases.size()), Lines(cases.size(), "4"));
}

TEST_F(Dispatch, PostDataReportsTheEventTextUnchanged) {
  h.Page(R"({"msg_type":"post_data","msg_data":{"event_id":"install_clicked 安装"}})");
  h.Page(R"({"msg_type":"post_data","msg_data":{"event_id":""}})");
  EXPECT_EQ(h.Events(2), (Lines{"install_clicked 安装", ""}));
  for (const auto& request : h.service.Requests()) {
    if (request.path != kLogPath) continue;
    EXPECT_EQ(request.files.find("downloader_id")->second.content, "0");
    EXPECT_EQ(request.files.find("uuid")->second.content, DlgHarness::kUuid);
  }
}

}  // namespace
}  // namespace tarnel::test
