// The startup order of the main window on the fake platform.
#include <gtest/gtest.h>

#include "window/dlg_harness.h"

namespace tarnel::test {
namespace {

using Lines = std::vector<std::string>;

TEST(Startup, OffScreenThenConfigThenInfoThenBrowserAfterInit) {
  DlgHarness h;
  h.config = "[root]\napi_url=" + h.service.Url(kInfoPath) + "\n";
  WriteFile(h.dir.file("config.ini"), h.config);
  window::CTarnelDlg dlg(h.fake.platform());

  h.fake.Create(dlg);
  EXPECT_EQ(h.fake.TakeCalls(), Lines{"CreateEnvironment"});
  EXPECT_EQ(h.InfoRequests(), 0u);

  h.fake.InitDialog();
  // Off screen and minimised before the configuration is read and the
  // service asked; the browser's data is this build's; the title comes from
  // the answer.
  EXPECT_EQ(h.fake.TakeCalls(), (Lines{"SetWindowPos -10000 0 0 0 1", "ShowWindow 7", "SetAppIcon", "SetUserDataKey 0",
                                       "SetWindowText Demo 演示"}));
  EXPECT_EQ(h.InfoRequests(), 1u);
  EXPECT_EQ(dlg.PageUrl(), "http://127.0.0.1:1/page.html");
  EXPECT_EQ(dlg.Uuid().size(), 32u);
  EXPECT_NE(ReadFile(h.dir.file("config.ini")).find("uuid=" + dlg.Uuid()), std::string::npos);

  // The browser's completions arrive through the loop, after initialisation,
  // and navigate to the address the service gave.
  h.fake.RunPosted();
  EXPECT_EQ(h.fake.TakeCalls(),
            (Lines{"CreateController", "Settings.IsScriptEnabled 1", "Settings.AreDefaultScriptDialogsEnabled 1",
                   "Settings.IsWebMessageEnabled 1", "Settings.AreDevToolsEnabled 0",
                   "Settings.AreDefaultContextMenusEnabled 0", "PutBounds 0 0 480 325",
                   "Navigate http://127.0.0.1:1/page.html", "AddWebMessageReceived"}));
  h.fake.DestroyWindow();
}

TEST(Startup, NoServiceAnswerLeavesTitleEmptyAndNavigatesNowhere) {
  DlgHarness h;
  h.infoBody = R"({"code":404})";
  h.Start(false);
  EXPECT_EQ(h.fake.windowText(), "");
  h.fake.RunPosted();
  const Lines calls = h.fake.TakeCalls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "Navigate "), calls.end());
  // Nothing brings the window on screen.
  EXPECT_EQ(h.fake.windowRect().left, -10000);
}

TEST(Startup, APageAddressOverPlainHttpToAnotherMachineCountsAsNoAnswer) {
  for (const char* page : {"http://vendor.example/page.html", "ftp://127.0.0.1/page.html"}) {
    DlgHarness h;
    h.infoBody = std::string(R"({"code":200,"data":{"name":"Demo","url1":")") + page + "\"}}";
    h.Start(false);
    EXPECT_EQ(h.fake.windowText(), "") << page;
    EXPECT_EQ(h.dlg->PageUrl(), "") << page;
  }
  // https anywhere, and http to this machine, are shown.
  for (const char* page : {"https://vendor.example/page.html", "http://localhost:9/page.html"}) {
    DlgHarness h;
    h.infoBody = std::string(R"({"code":200,"data":{"name":"Demo","url1":")") + page + "\"}}";
    h.Start(false);
    EXPECT_EQ(h.dlg->PageUrl(), page);
  }
}

TEST(Startup, MissingConfigUsesNoAddressAndStillWritesAnIdentifier) {
  DlgHarness h;
  window::CTarnelDlg dlg(h.fake.platform());
  h.fake.Create(dlg);
  h.fake.InitDialog();
  EXPECT_EQ(dlg.InfoUrl(), "");
  EXPECT_EQ(dlg.DownloaderId(), 0u);
  EXPECT_EQ(h.InfoRequests(), 0u);
  EXPECT_EQ(ReadFile(h.dir.file("config.ini")), "[user]\nuuid=" + dlg.Uuid() + "\n");
  h.fake.DestroyWindow();
}

TEST(Startup, BrowserThatCannotBeCreatedStopsQuietly) {
  for (const bool environmentFails : {true, false}) {
    DlgHarness h;
    h.fake.createEnvironmentFails = environmentFails;
    h.fake.createControllerFails = !environmentFails;
    h.Start(false);
    h.fake.RunPosted();
    const Lines expected = environmentFails ? Lines{} : Lines{"CreateController"};
    EXPECT_EQ(h.fake.TakeCalls(), expected);
    // Page messages have nowhere to come from, and sizes touch no browser.
    EXPECT_FALSE(h.fake.DeliverPageMessage("{}"));
    h.fake.SetWindowPos(0, 0, 100, 100, platform::SWP_NOMOVE);
    EXPECT_EQ(h.fake.TakeCalls(), Lines{"SetWindowPos 0 0 100 100 2"});
  }
}

TEST(Startup, ResizeBeforeTheControllerTouchesNoBrowserAfterItAlwaysDoes) {
  DlgHarness h;
  h.Start(false);
  h.fake.SetWindowPos(0, 0, 300, 200, platform::SWP_NOMOVE);
  EXPECT_EQ(h.fake.TakeCalls(), Lines{"SetWindowPos 0 0 300 200 2"});
  h.fake.RunPosted();
  h.fake.TakeCalls();
  h.fake.SetWindowPos(0, 0, 640, 400, platform::SWP_NOMOVE);
  EXPECT_EQ(h.fake.TakeCalls(), (Lines{"SetWindowPos 0 0 640 400 2", "PutBounds 0 0 640 400"}));
}

}  // namespace
}  // namespace tarnel::test
