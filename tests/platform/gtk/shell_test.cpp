// The desktop side: user folders, xdg-open, pkexec and the file manager, with
// fake programs on PATH and a private session bus.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "gtk_test_support.h"

namespace tarnel::platform::gtk::test {
namespace {

GtkShell& Shell() { return Platform().shell(); }

// PATH without the fake programs for the life of the object.
class EmptyPath {
 public:
  EmptyPath() : saved_(std::getenv("PATH")) { setenv("PATH", NewFolder("empty-path").c_str(), 1); }
  ~EmptyPath() { setenv("PATH", saved_.c_str(), 1); }

 private:
  std::string saved_;
};

std::string NewFile(const std::string& folder, const std::string& name) {
  const std::string path = (std::filesystem::path(folder) / name).string();
  std::ofstream(path) << "#!/bin/sh\n";
  chmod(path.c_str(), 0644);
  return path;
}

TEST(GtkShell, DownloadsFolderFollowsUserDirsAsTheyAreNow) {
  // GLib keeps a folder it once knew when its entry goes away, so the empty
  // answer comes first.
  const std::filesystem::path config = std::getenv("XDG_CONFIG_HOME");
  const std::string home = std::getenv("HOME");
  std::filesystem::remove(config / "user-dirs.dirs");
  EXPECT_EQ(Shell().GetDownloadsFolder(), "");
  std::ofstream(config / "user-dirs.dirs") << "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n";
  EXPECT_EQ(Shell().GetDownloadsFolder(), home + "/Fetched");
  std::ofstream(config / "user-dirs.dirs") << "XDG_DOWNLOAD_DIR=\"/srv/incoming\"\n";
  EXPECT_EQ(Shell().GetDownloadsFolder(), "/srv/incoming");
  std::filesystem::remove(config / "user-dirs.dirs");
}

TEST(GtkShell, OpenUrlHandsTheWholeTextToXdgOpenAsOneArgument) {
  ClearRecords();
  const std::string marker = NewFolder("marker") + "/ran";
  const std::string url =
      "http://127.0.0.1:9/a b;touch " + marker + ";$(touch " + marker + ")`touch " + marker + "`&x=1|y";
  EXPECT_TRUE(Shell().OpenUrl(url));
  ASSERT_TRUE(RunLoopUntil([] { return RecordedCalls("xdg-open").size() == 1; }));
  const auto call = RecordedCalls("xdg-open").front();
  EXPECT_EQ(call.args, (std::vector<std::string>{url}));
  EXPECT_EQ(call.stdinTarget, "/dev/null");
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(GtkShell, OpenUrlRefusesOptionsAndEmptyText) {
  ClearRecords();
  EXPECT_FALSE(Shell().OpenUrl("--help"));
  EXPECT_FALSE(Shell().OpenUrl("-x http://127.0.0.1/"));
  EXPECT_FALSE(Shell().OpenUrl(""));
  EXPECT_TRUE(Shell().OpenUrl("http://127.0.0.1:9/after"));
  ASSERT_TRUE(RunLoopUntil([] { return !RecordedCalls("xdg-open").empty(); }));
  EXPECT_EQ(RecordedCalls("xdg-open").size(), 1u);
  EXPECT_EQ(RecordedCalls("xdg-open").front().args, (std::vector<std::string>{"http://127.0.0.1:9/after"}));
}

TEST(GtkShell, OpenUrlIsFalseWithoutXdgOpen) {
  EmptyPath noPrograms;
  EXPECT_FALSE(Shell().OpenUrl("http://127.0.0.1:9/"));
}

TEST(GtkShell, RefusedElevationMakesTheFileExecutableAndReportsLater) {
  ClearRecords();
  SetPkexecExit(126);
  const std::string installer = NewFile(NewFolder("elevate"), "setup tool.run");
  int failures = 0;
  Shell().RunElevated(installer, [&] { ++failures; });
  EXPECT_EQ(failures, 0) << "reported inside the call";
  ASSERT_TRUE(RunLoopUntil([&] { return failures == 1; }));
  const auto calls = RecordedCalls("pkexec");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{installer}));
  EXPECT_TRUE(calls[0].programExecutable);
  EXPECT_EQ(calls[0].stdinTarget, "/dev/null");
  EXPECT_NE(std::filesystem::status(installer).permissions() & std::filesystem::perms::owner_exec,
            std::filesystem::perms::none);
}

TEST(GtkShell, OnlyExitStatus126Or127IsAFailure) {
  const std::string folder = NewFolder("elevate");
  int failures = 0;
  for (const int code : {0, 1, 2, 125, 127}) {
    ClearRecords();
    SetPkexecExit(code);
    const int before = failures;
    Shell().RunElevated(NewFile(folder, "setup" + std::to_string(code)), [&] { ++failures; });
    ASSERT_TRUE(RunLoopUntil([] { return RecordedCalls("pkexec").size() == 1; }));
    if (code == 127) {
      ASSERT_TRUE(RunLoopUntil([&] { return failures == before + 1; }));
    }
  }
  // The 127 run came last and started after the others had ended.
  EXPECT_EQ(failures, 1);
}

TEST(GtkShell, MissingPkexecIsAFailureReportedLater) {
  const std::string installer = NewFile(NewFolder("elevate"), "setup");
  int failures = 0;
  {
    EmptyPath noPrograms;
    Shell().RunElevated(installer, [&] { ++failures; });
    EXPECT_EQ(failures, 0) << "reported inside the call";
  }
  EXPECT_TRUE(RunLoopUntil([&] { return failures == 1; }));
}

TEST(GtkShell, NoFailureIsReportedAfterTheShellIsGone) {
  ClearRecords();
  SetPkexecExit(126);
  const std::string folder = NewFolder("elevate");
  int lateFailures = 0;
  {
    GtkShell shortLived;
    shortLived.RunElevated(NewFile(folder, "first"), [&] { ++lateFailures; });
  }
  ASSERT_TRUE(RunLoopUntil([] { return RecordedCalls("pkexec").size() == 1; }));
  int failures = 0;
  Shell().RunElevated(NewFile(folder, "second"), [&] { ++failures; });
  ASSERT_TRUE(RunLoopUntil([&] { return failures == 1; }));
  EXPECT_EQ(lateFailures, 0);
}

TEST(GtkShell, RevealOpensTheFolderWhenNoFileManagerAnswers) {
  ClearRecords();
  const std::string folder = NewFolder("reveal with space");
  Shell().RevealFile(NewFile(folder, "setup.run"));
  ASSERT_TRUE(RunLoopUntil([] { return !RecordedCalls("xdg-open").empty(); }, 15000));
  EXPECT_EQ(RecordedCalls("xdg-open").front().args, (std::vector<std::string>{folder}));
}

// A file manager of our own on the private session bus.
class FakeFileManager {
 public:
  FakeFileManager() {
    connection_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (connection_ == nullptr) return;
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
        "<node><interface name='org.freedesktop.FileManager1'><method name='ShowItems'>"
        "<arg type='as' name='URIs' direction='in'/><arg type='s' name='StartupId' direction='in'/>"
        "</method></interface></node>",
        nullptr);
    static const GDBusInterfaceVTable vtable = {&FakeFileManager::OnCall, nullptr, nullptr, {}};
    object_ = g_dbus_connection_register_object(connection_, "/org/freedesktop/FileManager1", node->interfaces[0],
                                                &vtable, this, nullptr, nullptr);
    g_dbus_node_info_unref(node);
    name_ = g_bus_own_name_on_connection(connection_, "org.freedesktop.FileManager1", G_BUS_NAME_OWNER_FLAGS_NONE,
                                         &FakeFileManager::OnAcquired, nullptr, this, nullptr);
  }
  ~FakeFileManager() {
    if (connection_ == nullptr) return;
    g_bus_unown_name(name_);
    g_dbus_connection_unregister_object(connection_, object_);
    g_object_unref(connection_);
  }
  bool Ready() {
    return RunLoopUntil([this] { return acquired_; });
  }

  std::vector<std::string> uris;
  std::string startupId;
  int calls = 0;

 private:
  static void OnAcquired(GDBusConnection*, const gchar*, gpointer self) {
    static_cast<FakeFileManager*>(self)->acquired_ = true;
  }
  static void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                     GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<FakeFileManager*>(data);
    GVariantIter* iter = nullptr;
    const gchar* id = nullptr;
    g_variant_get(parameters, "(as&s)", &iter, &id);
    for (const gchar* uri = nullptr; g_variant_iter_next(iter, "&s", &uri);) self->uris.emplace_back(uri);
    g_variant_iter_free(iter);
    self->startupId = id;
    ++self->calls;
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  GDBusConnection* connection_ = nullptr;
  guint object_ = 0;
  guint name_ = 0;
  bool acquired_ = false;
};

TEST(GtkShell, RevealAsksTheFileManagerToShowTheFile) {
  if (std::string(std::getenv("TARNEL_TEST_HAVE_BUS")) != "1") GTEST_SKIP() << "no dbus-daemon for a private bus";
  ClearRecords();
  FakeFileManager fileManager;
  ASSERT_TRUE(fileManager.Ready());
  const std::string file = NewFile(NewFolder("reveal ü"), "setup #1.run");
  Shell().RevealFile(file);
  ASSERT_TRUE(RunLoopUntil([&] { return fileManager.calls == 1; }));
  gchar* expected = g_filename_to_uri(file.c_str(), nullptr, nullptr);
  EXPECT_EQ(fileManager.uris, (std::vector<std::string>{expected}));
  g_free(expected);
  EXPECT_EQ(fileManager.startupId, "");
  // It answered, so the folder is not opened as well; a sentinel shows the
  // fallback would have had its time.
  Shell().OpenUrl("http://127.0.0.1:9/sentinel");
  ASSERT_TRUE(RunLoopUntil([] { return !RecordedCalls("xdg-open").empty(); }));
  EXPECT_EQ(RecordedCalls("xdg-open").size(), 1u);
}

TEST(GtkSystem, ModuleFileNameIsThisExecutable) {
  const std::string path = Platform().system().GetModuleFileName();
  EXPECT_EQ(std::filesystem::path(path).filename(), "tarnel_platform_gtk_tests");
  EXPECT_TRUE(std::filesystem::path(path).is_absolute());
  EXPECT_TRUE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace tarnel::platform::gtk::test
