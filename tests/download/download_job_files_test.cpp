// The download job's files: planted links, names taken, kept parts, the
// proxy path and a full disk.
#ifndef _WIN32
#include <sys/mount.h>
#endif

#include <gtest/gtest.h>

#include "job_test_support.h"

namespace tarnel::download {
namespace {

using namespace jobtest;
#ifndef _WIN32
// Symbolic links need privileges on Windows; there the part file is opened without following reparse points.
TEST_F(DownloadJobTest, ALinkPlantedAtThePartNameIsNeverWrittenThrough) {
  test::WriteFile(dir.file("victim"), "keep me");
  fs::create_symlink(dir.file("victim"), dir.file("setup.exe.part"));
  ScriptedServer server([&](const ScriptedRequest& request, int) { return Ranged(request, body); });
  JobRun run(Request(server.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  EXPECT_EQ(test::ReadFile(dir.file("victim")), "keep me");
  // Either the download used another part name and is right, or it refused with kFile.
  if (!run.Finished()) {
    EXPECT_EQ(run.Reason(), FailureReason::kFile);
    EXPECT_FALSE(fs::exists(dir.file("setup.exe")));
    return;
  }
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), body);
  EXPECT_FALSE(fs::is_symlink(dir.file("setup.exe")));
}
#endif  // _WIN32

TEST_F(DownloadJobTest, AnExistingFileKeepsItsNameAndTheDownloadTakesTheNextNumber) {
  test::WriteFile(dir.file("setup.exe"), "mine");
  test::WriteFile(dir.file("setup (1).exe"), "mine too");
  ScriptedServer server([&](const ScriptedRequest& request, int) { return Ranged(request, body); });
  JobRun run(Request(server.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(run.job().Outcome().finalPath, dir.file("setup (2).exe"));
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), "mine");
  EXPECT_EQ(test::ReadFile(dir.file("setup (1).exe")), "mine too");
  EXPECT_EQ(test::ReadFile(dir.file("setup (2).exe")), body);
}

TEST_F(DownloadJobTest, AKeptPartIsResumedByTheNextJobOfTheSameUrlAndTarget) {
  bool up = false;
  ScriptedServer server([&](const ScriptedRequest& request, int) {
    ScriptedResponse response = Ranged(request, body);
    if (!up) response.dropAfter = 200000;
    return response;
  });
  JobRequest request = Request(server.Url("/setup.exe"));
  request.limits.maxRetries = 0;
  std::optional<KeptPart> kept;
  {
    JobRun first(request);
    ASSERT_TRUE(first.WaitForEnd());
    EXPECT_EQ(first.Reason(), FailureReason::kNetwork);
    kept = first.job().TakeKeptPart();
  }
  ASSERT_TRUE(kept);
  EXPECT_EQ(fs::file_size(kept->partPath), 200000u);
  up = true;
  request.resume = kept;
  JobRun second(request);
  ASSERT_TRUE(second.WaitForEnd());
  ASSERT_TRUE(second.Finished());
  EXPECT_EQ(server.Requests().back().Header("range"), "bytes=200000-");
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), body);
  EXPECT_EQ(Folder(), std::vector<std::string>{"setup.exe"});
}

TEST_F(DownloadJobTest, TheTransferGoesThroughTheProxyTheLookupNames) {
  // A forward proxy answers the absolute-form request itself.
  ScriptedServer proxy([&](const ScriptedRequest&, int) { return Whole(body); });
  JobRequest request = Request("http://127.0.0.1:9/setup.exe");
  std::string asked;
  request.proxy = [&](const std::string& url) -> std::optional<std::string> {
    asked = url;
    return "http://127.0.0.1:" + std::to_string(proxy.port());
  };
  JobRun run(std::move(request));
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(asked, "http://127.0.0.1:9/setup.exe");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].target, "http://127.0.0.1:9/setup.exe");
}

#ifndef _WIN32
// A small file system to fill needs a tmpfs mount.
TEST_F(DownloadJobTest, AFullDiskEndsTheJobAtOnceLeavingNothing) {
  const std::string small = dir.file("small");
  fs::create_directory(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  // Unmounted on every way out, so a failed assertion does not leave the mount behind.
  struct Unmount {
    std::string path;
    ~Unmount() { umount(path.c_str()); }
  } unmount{small};
  for (const bool announced : {true, false}) {
    ScriptedServer server([&](const ScriptedRequest&, int) {
      ScriptedResponse response = Whole(body);
      // Without a length the space runs out while writing.
      response.unannounced = !announced;
      return response;
    });
    JobRequest request;
    request.url = server.Url("/setup.exe");
    request.path = small + "/setup.exe";
    JobRun run(std::move(request));
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(run.Reason(), FailureReason::kDiskFull) << announced;
    // Not tried again, whatever the disk left.
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(fs::directory_iterator(small), fs::directory_iterator());
  }
}
#endif  // _WIN32

}  // namespace
}  // namespace tarnel::download
