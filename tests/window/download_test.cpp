// The download job end to end on the fake platform against a real loopback
// server: notifications, files on disk and the failures that must not pass
// for a finished installer.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <nlohmann/json.hpp>

#include "download/sha256.h"
#include "window/dlg_harness.h"

namespace tarnel::test {
namespace {

using Lines = std::vector<std::string>;
using nlohmann::json;
namespace fs = std::filesystem;

const char kStart[] = R"({"msg_type":"dnld","status":1,"status_text":"dnld_start"})";
const char kFinish[] = R"({"msg_type":"dnld","status":2,"status_text":"dnld_finished"})";
const char kFailed[] = R"({"msg_type":"dnld","reason":"network","status":0,"status_text":"dnld_failed"})";
const char kFailed404[] =
    R"({"http_status":404,"msg_type":"dnld","reason":"http","status":0,"status_text":"dnld_failed"})";
const char kFailed500[] =
    R"({"http_status":500,"msg_type":"dnld","reason":"http","status":0,"status_text":"dnld_failed"})";
const char kFailedFile[] = R"({"msg_type":"dnld","reason":"file","status":0,"status_text":"dnld_failed"})";

std::string Payload(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>('a' + (i * 7) % 26);
  return data;
}

class Download : public ::testing::Test {
 protected:
  void SetUp() override {
    files.Get("/files/setup.exe", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(payload, "application/octet-stream");
    });
    // Sent slowly in chunks, with a length, so progress is seen.
    files.Get("/files/slow.exe", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(payload.size(), "application/octet-stream",
                               [this](size_t offset, size_t length, httplib::DataSink& sink) {
                                 const size_t n = std::min<size_t>(length, 16 * 1024);
                                 std::this_thread::sleep_for(std::chrono::milliseconds(5));
                                 sink.write(payload.data() + offset, n);
                                 return true;
                               });
    });
    files.Get("/files/chunked.exe", [this](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("application/octet-stream", [this](size_t offset, httplib::DataSink& sink) {
        if (offset >= payload.size()) {
          sink.done();
          return true;
        }
        sink.write(payload.data() + offset, std::min<size_t>(payload.size() - offset, 8192));
        return true;
      });
    });
    files.Get("/files/missing.exe", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("<html>not found</html>", "text/html");
    });
    files.Get("/files/broken.exe", [](const httplib::Request&, httplib::Response& res) {
      res.status = 500;
      res.set_content("<html>error</html>", "text/html");
    });
    files.Get("/r/(\\d+)", [this](const httplib::Request& req, httplib::Response& res) {
      const int n = std::stoi(req.matches[1]);
      res.set_redirect(n == 0 ? files.Url("/files/setup.exe") : files.Url("/r/" + std::to_string(n - 1)));
    });
    files.Get("/to-file",
              [](const httplib::Request&, httplib::Response& res) { res.set_redirect("file:///etc/passwd"); });
    // Announces more than it sends, then drops the connection.
    files.Get("/files/dropped.exe", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(payload.size(), "application/octet-stream",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset > 0) return false;
                                 sink.write(payload.data(), payload.size() / 2);
                                 return true;
                               });
    });
    files.Get("/files/stalled.exe", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(payload.size(), "application/octet-stream",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset == 0) {
                                   sink.write(payload.data(), 1000);
                                   return true;
                                 }
                                 files.Hold();
                                 return false;
                               });
    });
    // Answers, then sends nothing at all.
    files.Get("/files/silent.exe", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(payload.size(), "application/octet-stream", [this](size_t, size_t, httplib::DataSink&) {
        files.Hold();
        return false;
      });
    });
    files.Get("/to-plain-http", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("http://tarnel.test:" + std::to_string(files.port()) + "/files/setup.exe");
    });
    files.Start();
    // A host of another machine, as far as the rules can tell, that is this one.
    h.downloadLimits.resolve = {"tarnel.test:" + std::to_string(files.port()) + ":127.0.0.1"};
    fs::create_directory(downloads());
    h.fake.downloadsFolder = downloads();
    h.downloadLimits.lowSpeedTimeSeconds = 1;
    h.downloadLimits.maxRetries = 2;
    h.Start();
  }
  void TearDown() override { files.Release(); }

  std::string downloads() const { return h.dir.file("Downloads"); }
  std::string target(const std::string& name) const { return downloads() + "/" + name; }
  void Dnld(const std::string& url, bool silent = true) {
    h.Page(json{{"msg_type", "dnld"}, {"msg_data", {{"url", url}, {"silent", silent}}}}.dump());
  }
  // Runs the loop until the page has received `text` `count` times in all.
  bool WaitForPageMessage(const std::string& text, long count = 1) {
    return h.fake.RunPostedUntil(
        [&] {
          const auto messages = h.fake.pageMessages();
          return std::count(messages.begin(), messages.end(), text) >= count;
        },
        std::chrono::seconds(20));
  }
  // Page messages other than progress.
  Lines Statuses() {
    Lines result;
    for (const auto& m : h.fake.pageMessages()) {
      if (m.find("dl_progress") == std::string::npos) result.push_back(m);
    }
    return result;
  }

  std::string payload = Payload(512 * 1024);
  HttpTestServer files;
  DlgHarness h;
};

TEST_F(Download, StartProgressFinishInOrderAndTheFileIsComplete) {
  Dnld(files.Url("/files/slow.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  const auto messages = h.fake.pageMessages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages.front(), kStart);
  EXPECT_EQ(messages.back(), kFinish);
  std::uint64_t last = 0;
  for (size_t i = 1; i + 1 < messages.size(); ++i) {
    const json progress = json::parse(messages[i]);
    EXPECT_EQ(progress["msg_type"], "dl_progress");
    EXPECT_EQ(progress["status"], true);
    EXPECT_EQ(progress["dl_total"], payload.size());
    EXPECT_GE(progress["dl_now"].get<std::uint64_t>(), last);
    last = progress["dl_now"];
  }
  // The last counters reach the page before the finish.
  EXPECT_EQ(json::parse(messages[messages.size() - 2])["dl_progress"], 100.0);
  EXPECT_EQ(ReadFile(target("slow.exe")), payload);
  EXPECT_FALSE(fs::exists(target("slow.exe.part")));
  EXPECT_EQ(h.dlg->DnldState(), 2u);
  EXPECT_EQ(h.dlg->DnldPath(), target("slow.exe"));
}

TEST_F(Download, ChunkedAnswerGivesNoProgressButFinishes) {
  Dnld(files.Url("/files/chunked.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  EXPECT_EQ(h.fake.pageMessages(), (Lines{kStart, kFinish}));
  EXPECT_EQ(ReadFile(target("chunked.exe")), payload);
}

TEST_F(Download, ErrorAnswersFailLeaveNoFileAndKeepAnExistingOne) {
  WriteFile(target("missing.exe"), "the user's own file");
  Dnld(files.Url("/files/missing.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFailed404));
  EXPECT_EQ(h.dlg->DnldState(), 0u);
  // A 404 is final; a 500 is tried again before the page hears of it.
  EXPECT_EQ(files.RequestCount(), 1u);
  Dnld(files.Url("/files/broken.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFailed500));
  EXPECT_EQ(h.dlg->DnldState(), 0u);
  EXPECT_EQ(files.RequestCount(), 1u + 3u);
  EXPECT_EQ(Statuses(), (Lines{kStart, kFailed404, kStart, kFailed500}));
  EXPECT_EQ(ReadFile(target("missing.exe")), "the user's own file");
  EXPECT_FALSE(fs::exists(target("broken.exe")));
  EXPECT_EQ(std::distance(fs::directory_iterator(downloads()), fs::directory_iterator()), 1);
  // After a failure the download can be tried again.
  Dnld(files.Url("/files/setup.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  EXPECT_EQ(ReadFile(target("setup.exe")), payload);
}

TEST_F(Download, RedirectChainIsFollowedToTheFile) {
  // Ten redirects, the most that is followed.
  Dnld(files.Url("/r/9"));
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  // The name comes from the address the page gave.
  EXPECT_EQ(ReadFile(target("9")), payload);
}

TEST_F(Download, MoreThanTenRedirectsFail) {
  Dnld(files.Url("/r/10"));
  ASSERT_TRUE(WaitForPageMessage(kFailed));
  EXPECT_FALSE(fs::exists(target("10")));
}

TEST_F(Download, RedirectToALocalFileIsRefused) {
  Dnld(files.Url("/to-file"));
  ASSERT_TRUE(WaitForPageMessage(kFailed));
  EXPECT_FALSE(fs::exists(target("to-file")));
  Dnld("file:///etc/passwd");
  ASSERT_TRUE(WaitForPageMessage(kFailed, 2));
  EXPECT_EQ(Statuses(), (Lines{kStart, kFailed, kStart, kFailed}));
  EXPECT_FALSE(fs::exists(target("passwd")));
}

TEST_F(Download, ConnectionsThatKeepDroppingOrStallingFailAfterTheRetries) {
  Dnld(files.Url("/files/dropped.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFailed));
  // Without a validator every retry starts over, and gets no further.
  EXPECT_EQ(files.RequestCount(), 3u);
  EXPECT_FALSE(fs::exists(target("dropped.exe")));
  EXPECT_FALSE(fs::exists(target("dropped.exe.part")));

  const auto started = std::chrono::steady_clock::now();
  Dnld(files.Url("/files/silent.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFailed, 2));
  EXPECT_EQ(Statuses(), (Lines{kStart, kFailed, kStart, kFailed}));
  // Below one byte a second for the shortened one-second limit, three times.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
  EXPECT_FALSE(fs::exists(target("silent.exe")));
  EXPECT_FALSE(fs::exists(target("silent.exe.part")));
}

TEST_F(Download, NamesThatCannotBeAFileFailWithoutTouchingTheFolder) {
  // A chosen path that names no file of its own.
  long failures = 0;
  for (const char* chosen : {"/", "/.", "/.."}) {
    h.fake.saveDialog = [&](const platform::SaveDialogOptions&) {
      return std::optional<std::string>(downloads() + chosen);
    };
    Dnld(files.Url("/files/setup.exe"), false);
    ASSERT_TRUE(WaitForPageMessage(kFailedFile, ++failures)) << chosen;
  }
  EXPECT_EQ(Statuses(), (Lines{kStart, kFailedFile, kStart, kFailedFile, kStart, kFailedFile}));
  EXPECT_EQ(fs::directory_iterator(downloads()), fs::directory_iterator());
  EXPECT_EQ(files.RequestCount(), 0u);
}

TEST_F(Download, SilentDownloadsNeverReplaceAFileAndInstallRunsTheNewOne) {
  WriteFile(target("setup.exe"), "the user's own file");
  Dnld(files.Url("/files/setup.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  EXPECT_EQ(ReadFile(target("setup.exe")), "the user's own file");
  EXPECT_EQ(ReadFile(target("setup (1).exe")), payload);
  EXPECT_EQ(h.dlg->DnldPath(), target("setup (1).exe"));
  h.fake.TakeCalls();
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(h.fake.TakeCalls(), Lines{"RunElevated " + target("setup (1).exe")});
}

TEST_F(Download, CancelStopsTheTransferAndTheNextDnldStartsOver) {
  // No job: nothing happens.
  h.Page(R"({"msg_type":"dnld_cancel"})");
  EXPECT_TRUE(h.fake.pageMessages().empty());

  Dnld(files.Url("/files/stalled.exe"));
  ASSERT_TRUE(h.fake.RunPostedUntil([&] { return fs::exists(target("stalled.exe.part")); }, std::chrono::seconds(10)));
  const auto cancelled = std::chrono::steady_clock::now();
  h.Page(R"({"msg_type":"dnld_cancel","msg_data":"ignored"})");
  const char kCancelled[] = R"({"msg_type":"dnld","reason":"cancelled","status":0,"status_text":"dnld_failed"})";
  ASSERT_TRUE(WaitForPageMessage(kCancelled));
  EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::milliseconds(1000));
  EXPECT_EQ(h.dlg->DnldState(), 0u);
  EXPECT_FALSE(fs::exists(target("stalled.exe.part")));
  EXPECT_FALSE(fs::exists(target("stalled.exe")));

  Dnld(files.Url("/files/setup.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  EXPECT_EQ(ReadFile(target("setup.exe")), payload);
}

TEST_F(Download, TheGivenSha256DecidesWhetherTheFileIsKept) {
  // Not 64 hex digits: an error of the message, nothing starts.
  for (const char* bad : {R"("abc")", "7", R"("zz00000000000000000000000000000000000000000000000000000000000000")"}) {
    h.Page(std::string(R"({"msg_type":"dnld","msg_data":{"url":")") + files.Url("/files/setup.exe") +
           R"(","silent":true,"sha256":)" + bad + "}}");
  }
  EXPECT_TRUE(h.fake.pageMessages().empty());
  EXPECT_EQ(files.RequestCount(), 0u);
  EXPECT_EQ(h.dlg->DnldState(), 0u);

  const std::string wrong(64, '0');
  h.Page(json{{"msg_type", "dnld"},
              {"msg_data", {{"url", files.Url("/files/setup.exe")}, {"silent", true}, {"sha256", wrong}}}}
             .dump());
  ASSERT_TRUE(WaitForPageMessage(R"({"msg_type":"dnld","reason":"checksum","status":0,"status_text":"dnld_failed"})"));
  EXPECT_EQ(fs::directory_iterator(downloads()), fs::directory_iterator());
}

TEST_F(Download, RepeatedDnldRepeatsTheLastNotificationAndStartsNoSecondJob) {
  Dnld(files.Url("/files/stalled.exe"));
  ASSERT_TRUE(WaitForPageMessage(kStart));
  Dnld(files.Url("/files/setup.exe"));
  EXPECT_EQ(Statuses(), (Lines{kStart, kStart}));
  files.Release();
  ASSERT_TRUE(WaitForPageMessage(kFailed));

  Dnld(files.Url("/files/setup.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  Dnld(files.Url("/files/slow.exe"));
  EXPECT_EQ(Statuses(), (Lines{kStart, kStart, kFailed, kStart, kFinish, kFinish}));
  EXPECT_FALSE(fs::exists(target("slow.exe")));
}

TEST_F(Download, SaveDialogChoosesTheTargetAndADnldMeanwhileIsIgnored) {
  int dialogs = 0;
  h.fake.saveDialog = [&](const platform::SaveDialogOptions&) -> std::optional<std::string> {
    // The page asks again while the dialog is open.
    if (++dialogs == 1) Dnld(files.Url("/files/slow.exe"));
    return h.dir.file("chosen.exe");
  };
  Dnld(files.Url("/files/setup.exe?v=2"), false);
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  EXPECT_EQ(dialogs, 1);
  const Lines calls = h.fake.TakeCalls();
  EXPECT_EQ(calls.front(),
            "ShowSaveDialog setup.exe ext=txt overwritePrompt=1 [应用程序(*.exe)|*.exe] [所有文件(*.*)|*.*]");
  EXPECT_EQ(ReadFile(h.dir.file("chosen.exe")), payload);
  EXPECT_EQ(files.RequestCount(), 1u);
}

TEST_F(Download, CancelledDialogPostsNothingAndTheNextDnldAsksAgain) {
  h.fake.saveDialog = [](const platform::SaveDialogOptions&) { return std::optional<std::string>(); };
  Dnld(files.Url("/files/setup.exe"), false);
  Dnld(files.Url("/files/setup.exe"), false);
  const Lines calls = h.fake.TakeCalls();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const auto& l) { return l.rfind("ShowSaveDialog", 0) == 0; }),
            2);
  EXPECT_TRUE(h.fake.pageMessages().empty());
  EXPECT_EQ(h.dlg->DnldState(), 0u);
  EXPECT_EQ(files.RequestCount(), 0u);
}

TEST_F(Download, NoDownloadsFolderMeansTheDialogEvenWhenSilent) {
  h.fake.downloadsFolder.clear();
  h.fake.saveDialog = [](const platform::SaveDialogOptions&) { return std::optional<std::string>(); };
  Dnld(files.Url("/files/setup.exe"), true);
  EXPECT_EQ(h.fake.TakeCalls().size(), 1u);
}

TEST_F(Download, ClosingDuringATransferStopsTheWorkerAndRemovesThePartialFile) {
  Dnld(files.Url("/files/stalled.exe"));
  ASSERT_TRUE(WaitForPageMessage(kStart));
  ASSERT_TRUE(h.fake.RunPostedUntil([&] { return fs::exists(target("stalled.exe.part")); }, std::chrono::seconds(10)));
  h.Page(R"({"msg_type":"close","msg_data":{"force_close":true}})");
  EXPECT_TRUE(h.fake.ended());
  const auto closing = std::chrono::steady_clock::now();
  h.fake.DestroyWindow();
  h.dlg.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(3));
  EXPECT_FALSE(fs::exists(target("stalled.exe.part")));
  EXPECT_FALSE(fs::exists(target("stalled.exe")));
}

TEST_F(Download, AProgressMessageWithNoNewCountersSendsNothing) {
  // The counters come from the job's mailbox only: a progress message that
  // arrives late, or with no job at all, repeats nothing old to the page.
  h.dlg->WindowProc(download::WM_DL_PROGRESS, 5'000'000'000ULL, 10'000'000'000LL);
  EXPECT_TRUE(h.fake.pageMessages().empty());
}

TEST_F(Download, InstallRunsOnlyAFinishedFileAndFailsVisibly) {
  const std::string failure = "MessageBox 运行安装程序失败，请手动执行... | 运行失败 | 0";
  // Before any download: the failure path, and no path to reveal.
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(h.fake.TakeCalls(), Lines{failure});

  Dnld(files.Url("/files/setup.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  h.fake.TakeCalls();
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(h.fake.TakeCalls(), Lines{"RunElevated " + target("setup.exe")});

  h.fake.elevationRefused = true;
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(h.fake.TakeCalls(),
            (Lines{"RunElevated " + target("setup.exe"), failure, "RevealFile " + target("setup.exe")}));

  h.Page(R"({"msg_type":"open_dnld_dir","msg_data":7})");
  EXPECT_EQ(h.fake.TakeCalls(), Lines{"RevealFile " + target("setup.exe")});
}

TEST_F(Download, PlainHttpToAnotherMachineIsRefusedUnlessTheDigestIsChecked) {
  const char kInsecure[] = R"({"msg_type":"dnld","reason":"insecure","status":0,"status_text":"dnld_failed"})";
  const std::string plain = "http://tarnel.test:" + std::to_string(files.port()) + "/files/setup.exe";
  Dnld(plain);
  ASSERT_TRUE(WaitForPageMessage(kInsecure));
  // Refused before anything was asked, and not tried again.
  EXPECT_EQ(files.RequestCount(), 0u);
  // A redirect there from a trusted address is refused at that hop.
  Dnld(files.Url("/to-plain-http"));
  ASSERT_TRUE(WaitForPageMessage(kInsecure, 2));
  EXPECT_EQ(files.RequestCount(), 1u);
  EXPECT_EQ(fs::directory_iterator(downloads()), fs::directory_iterator());

  // With the digest to check, the path may be plain.
  const std::string digest = download::Sha256Hex([&] {
    download::Sha256 sha;
    sha.Update(payload.data(), payload.size());
    return sha.Final();
  }());
  h.Page(json{{"msg_type", "dnld"},
              {"msg_data", {{"url", files.Url("/to-plain-http")}, {"silent", true}, {"sha256", digest}}}}
             .dump());
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  EXPECT_EQ(ReadFile(target("to-plain-http")), payload);
}

TEST_F(Download, OnlyOneDialogIsOpenAtATimeWhateverThePageSends) {
  int nested = 0;
  h.fake.whileMessageBox = [&] {
    // The page floods "install" while the box is open, and asks for a save dialog.
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(h.fake.DeliverPageMessage(R"({"msg_type":"install"})"));
    Dnld(files.Url("/files/setup.exe"), false);
    ++nested;
  };
  h.fake.saveDialog = [](const platform::SaveDialogOptions&) { return std::optional<std::string>(); };
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(nested, 1);
  const Lines calls = h.fake.TakeCalls();
  EXPECT_EQ(calls, Lines{"MessageBox 运行安装程序失败，请手动执行... | 运行失败 | 0"});
  // Once it is closed, the next one may open.
  h.fake.whileMessageBox = nullptr;
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(h.fake.TakeCalls().size(), 1u);
}

TEST_F(Download, InstallRunsOnlyTheFileTheJobWroteAndMakesItExecutable) {
  const std::string failure = "MessageBox 运行安装程序失败，请手动执行... | 运行失败 | 0";
  Dnld(files.Url("/files/setup.exe"));
  ASSERT_TRUE(WaitForPageMessage(kFinish));
  h.fake.TakeCalls();
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(h.fake.TakeCalls(), Lines{"RunElevated " + target("setup.exe")});
#ifndef _WIN32
  EXPECT_NE(fs::status(target("setup.exe")).permissions() & fs::perms::owner_exec, fs::perms::none);
#endif
  fs::rename(target("setup.exe"), h.dir.file("moved"));

#ifndef _WIN32
  // Swapped for a link to another program after the finish: not run.
  WriteFile(h.dir.file("other"), "#!/bin/sh\n");
  fs::create_symlink(h.dir.file("other"), target("setup.exe"));
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(h.fake.TakeCalls(), (Lines{failure, "RevealFile " + target("setup.exe")}));
  EXPECT_EQ(fs::status(h.dir.file("other")).permissions() & fs::perms::owner_exec, fs::perms::none);
  fs::remove(target("setup.exe"));
#endif

  // Replaced by another regular file of the same size: not run either.
  WriteFile(target("setup.exe"), std::string(payload.size(), 'x'));
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(h.fake.TakeCalls(), (Lines{failure, "RevealFile " + target("setup.exe")}));

  // The very file again: run.
  fs::remove(target("setup.exe"));
  fs::rename(h.dir.file("moved"), target("setup.exe"));
  h.Page(R"({"msg_type":"install"})");
  EXPECT_EQ(h.fake.TakeCalls(), Lines{"RunElevated " + target("setup.exe")});
}

TEST_F(Download, InstallWhileTheFileIsStillBeingWrittenTakesTheFailurePath) {
  Dnld(files.Url("/files/stalled.exe"));
  ASSERT_TRUE(WaitForPageMessage(kStart));
  h.fake.TakeCalls();
  h.Page(R"({"msg_type":"install"})");
  // The transfer goes on meanwhile: its progress may reach the page too.
  Lines calls = h.fake.TakeCalls();
  std::erase_if(calls, [](const std::string& call) { return call.find("\"dl_progress\"") != std::string::npos; });
  EXPECT_EQ(calls, (Lines{"MessageBox 运行安装程序失败，请手动执行... | 运行失败 | 0",
                          "RevealFile " + target("stalled.exe")}));
}

}  // namespace
}  // namespace tarnel::test
