// The Windows layer's small pure pieces: save dialog set-up, window flags,
// workspace coordinates and paths.
#include <gtest/gtest.h>

#include "platform/win32/save_dialog.h"
#include "platform/win32/shell_paths.h"
#include "platform/win32/window_flags.h"

namespace tarnel::platform::win32 {
namespace {

TEST(SaveDialogSetUp, FileTypesKeepNamesAndPatternsInOrder) {
  const DialogFileTypes types({{"应用程序(*.exe)", "*.exe"}, {"", "*.msi;*.msp"}, {"skipped", ""}, {"All", "*.*"}});
  ASSERT_EQ(types.entries().size(), 3u);
  EXPECT_EQ(std::wstring(types.entries()[0].pszName), L"应用程序(*.exe)");
  EXPECT_EQ(std::wstring(types.entries()[0].pszSpec), L"*.exe");
  // A filter without a name shows its pattern.
  EXPECT_EQ(std::wstring(types.entries()[1].pszName), L"*.msi;*.msp");
  EXPECT_EQ(std::wstring(types.entries()[1].pszSpec), L"*.msi;*.msp");
  EXPECT_EQ(std::wstring(types.entries()[2].pszSpec), L"*.*");
  EXPECT_TRUE(DialogFileTypes({}).entries().empty());
}

TEST(SaveDialogSetUp, DefaultExtensionLosesItsDot) {
  EXPECT_EQ(DialogDefaultExtension(".exe"), L"exe");
  EXPECT_EQ(DialogDefaultExtension("exe"), L"exe");
  EXPECT_EQ(DialogDefaultExtension(""), L"");
  EXPECT_EQ(DialogDefaultExtension("..tar.gz"), L"tar.gz");
}

TEST(SaveDialogSetUp, OptionsFollowTheOverwritePrompt) {
  const DWORD on = SaveDialogFlags(FOS_PATHMUSTEXIST, true);
  EXPECT_NE(on & FOS_OVERWRITEPROMPT, 0u);
  EXPECT_NE(on & FOS_PATHMUSTEXIST, 0u);
  EXPECT_NE(on & FOS_FORCEFILESYSTEM, 0u);
  EXPECT_NE(on & FOS_NOCHANGEDIR, 0u);
  const DWORD off = SaveDialogFlags(FOS_OVERWRITEPROMPT | FOS_PATHMUSTEXIST, false);
  EXPECT_EQ(off & FOS_OVERWRITEPROMPT, 0u);
  EXPECT_NE(off & FOS_PATHMUSTEXIST, 0u);
}

TEST(WindowFlags, KeepsTheKnownBitsAndNeverActivates) {
  EXPECT_EQ(ToSetWindowPosFlags(SWP_NOSIZE), static_cast<UINT>(SWP_NOSIZE | SWP_NOACTIVATE));
  EXPECT_EQ(ToSetWindowPosFlags(SWP_NOMOVE | SWP_NOZORDER),
            static_cast<UINT>(SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_EQ(ToSetWindowPosFlags(0x8000 | SWP_NOMOVE), static_cast<UINT>(SWP_NOMOVE | SWP_NOACTIVATE));
}

TEST(WindowFlags, WorkspaceCoordinatesShiftByTheWorkAreaOffset) {
  const Rect monitor{0, 0, 1920, 1080};
  const Rect leftTaskbar{60, 0, 1920, 1080};
  const Rect window{100, 50, 500, 350};
  EXPECT_EQ(ScreenToWorkspace(window, monitor, leftTaskbar), (Rect{40, 50, 440, 350}));
  EXPECT_EQ(WorkspaceToScreen(ScreenToWorkspace(window, monitor, leftTaskbar), monitor, leftTaskbar), window);
  EXPECT_EQ(ScreenToWorkspace(window, monitor, monitor), window);
  const Rect second{1920, 0, 3840, 1080};
  const Rect secondTopBar{1920, 40, 3840, 1080};
  EXPECT_EQ(ScreenToWorkspace({2000, 100, 2100, 200}, second, secondTopBar), (Rect{2000, 60, 2100, 160}));
}

TEST(ShellPaths, ParentFolder) {
  EXPECT_EQ(ParentFolder(L"C:\\Users\\me\\Downloads\\setup.exe"), L"C:\\Users\\me\\Downloads");
  EXPECT_EQ(ParentFolder(L"C:\\setup.exe"), L"C:\\");
  EXPECT_EQ(ParentFolder(L"C:/a b/setup.exe"), L"C:/a b");
  EXPECT_EQ(ParentFolder(L"\\\\server\\share\\x.exe"), L"\\\\server\\share");
  EXPECT_EQ(ParentFolder(L"setup.exe"), L"");
}

}  // namespace
}  // namespace tarnel::platform::win32
