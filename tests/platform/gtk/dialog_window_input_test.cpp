// Dragging the main window under a pointer grab, and its modal dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "gtk_test_support.h"
#include "platform/gtk/main_loop.h"

namespace tarnel::platform::gtk::test {
namespace {

GtkDialogWindow& Window() { return Platform().window(); }

// Brings the window on screen at 400 x 300 in the middle and waits for it.
void ShowInTheMiddle() {
  Window().SetWindowPos(0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
  Window().CenterWindow();
  const Rect expected = Window().GetWindowRect();
  ASSERT_TRUE(RunLoopUntil([&] {
    const ServerGeometry g = GeometryOnServer(Window().Widget());
    return g.viewable && g.x == expected.left && g.y == expected.top && g.width == 400;
  }));
}

// Does with the window's mouse messages what the main window does in a drag.
class Dragger {
 public:
  LRESULT Handle(std::uint32_t message, WPARAM, LPARAM lParam) {
    const Point point = Window().ClientToScreen({MouseX(lParam), MouseY(lParam)});
    if (message == WM_LBUTTONDOWN) {
      Window().SetCapture();
      last_ = point;
    } else if (message == WM_MOUSEMOVE) {
      const Rect rect = Window().GetWindowRect();
      const int dx = point.x - last_.x;
      const int dy = point.y - last_.y;
      Window().MoveWindow({rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy}, false);
      last_ = point;
      ++moves;
    } else if (message == WM_LBUTTONUP) {
      Window().ReleaseCapture();
      released = true;
    }
    return message == WM_INITDIALOG ? 1 : 0;
  }
  int moves = 0;
  bool released = false;

 private:
  Point last_;
};

TEST(GtkDialogWindow, CapturedPointerMotionDragsTheWindowByTheCursorsDisplacement) {
  RecordingTarget target;
  Dragger dragger;
  target.hook = [&](std::uint32_t m, WPARAM w, LPARAM l) { return dragger.Handle(m, w, l); };
  RunModal(target, [&] {
    ShowInTheMiddle();
    const ServerGeometry start = GeometryOnServer(Window().Widget());
    // The user presses the button at client (50, 40); the page's "mousedown"
    // then asks for the grab.
    WarpPointer(start.x + 50, start.y + 40);
    DrainEvents();
    if (!FakeButton(true)) GTEST_SKIP() << "no XTest: no button to hold for the drag";
    ASSERT_TRUE(Window().Handle()->PostMessage(WM_LBUTTONDOWN, 0, MakeMouseLParam(50, 40)));
    ASSERT_TRUE(RunLoopUntil([&] { return !target.Of(WM_LBUTTONDOWN).empty(); }));
    // What the grab brings (motion at the press point) is handled before the
    // steps, so each step is seen on its own.
    DrainEvents();

    // Real pointer motion, in steps, the last one far outside the window.
    const int steps[][2] = {{10, 5}, {40, 25}, {-30, 60}, {-200, -150}};
    for (const auto& step : steps) {
      const int moves = dragger.moves;
      WarpPointer(start.x + 50 + step[0], start.y + 40 + step[1]);
      ASSERT_TRUE(RunLoopUntil([&] { return dragger.moves > moves; })) << "no WM_MOUSEMOVE under capture";
    }
    const int dx = steps[3][0];
    const int dy = steps[3][1];
    EXPECT_TRUE(RunLoopUntil([&] {
      const ServerGeometry g = GeometryOnServer(Window().Widget());
      return g.x == start.x + dx && g.y == start.y + dy;
    })) << "window at "
        << GeometryOnServer(Window().Widget()).x << "," << GeometryOnServer(Window().Widget()).y;
    // Motion reports client coordinates relative to where the window was
    // taken to be then; the first step is reported from the start position.
    // (Motion at the press point itself, which the grab may bring, moves
    // nothing.)
    const auto reported = target.Of(WM_MOUSEMOVE);
    const auto first = std::find_if(reported.begin(), reported.end(),
                                    [](const Message& m) { return MouseX(m.lParam) != 50 || MouseY(m.lParam) != 40; });
    ASSERT_NE(first, reported.end());
    EXPECT_EQ(MouseX(first->lParam), 50 + steps[0][0]);
    EXPECT_EQ(MouseY(first->lParam), 40 + steps[0][1]);

    FakeButton(false);
    EXPECT_TRUE(RunLoopUntil([&] { return dragger.released; })) << "no WM_LBUTTONUP under capture";
    // Released: motion no longer reaches the window.
    const int moves = dragger.moves;
    WarpPointer(10, 10);
    DrainEvents();
    EXPECT_EQ(dragger.moves, moves);
  });
}

TEST(GtkDialogWindow, CaptureGrabsThePointerOnlyWhileTheButtonIsDown) {
  RecordingTarget target;
  RunModal(target, [&] {
    ShowInTheMiddle();
    const ServerGeometry g = GeometryOnServer(Window().Widget());
    WarpPointer(g.x + 50, g.y + 40);
    ASSERT_TRUE(AnotherClientCanGrabThePointer());
    // A page's "mousedown" without any click.
    Window().SetCapture();
    EXPECT_TRUE(AnotherClientCanGrabThePointer()) << "grabbed the pointer with no button down";
    Window().ReleaseCapture();

    // With the button really down the grab is taken, and it outlasts the
    // press until it is released.
    if (!FakeButton(true)) GTEST_SKIP() << "no XTest: no button to press";
    DrainEvents();
    Window().SetCapture();
    FakeButton(false);
    ASSERT_TRUE(RunLoopUntil([&] { return !target.Of(WM_LBUTTONUP).empty(); }));
    EXPECT_FALSE(AnotherClientCanGrabThePointer()) << "no grab while the button was down";
    Window().ReleaseCapture();
    EXPECT_TRUE(AnotherClientCanGrabThePointer());
  });
}

TEST(GtkDialogWindow, WithoutCaptureMotionIsNotReported) {
  RecordingTarget target;
  RunModal(target, [&] {
    ShowInTheMiddle();
    const ServerGeometry g = GeometryOnServer(Window().Widget());
    WarpPointer(g.x + 5, g.y + 5);
    WarpPointer(g.x + 50, g.y + 50);
    DrainEvents();
  });
  EXPECT_TRUE(target.Of(WM_MOUSEMOVE).empty());
}

// Waits for a visible dialog of `type` and hands it to `act`.
void WithDialog(GType type, const std::function<void(GtkWidget*)>& act) {
  PostToMainLoop([type, act] {
    GtkWidget* found = nullptr;
    RunLoopUntil([&] {
      GList* windows = gtk_window_list_toplevels();
      for (GList* item = windows; item != nullptr; item = item->next) {
        if (G_TYPE_CHECK_INSTANCE_TYPE(item->data, type) && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
          found = GTK_WIDGET(item->data);
        }
      }
      g_list_free(windows);
      return found != nullptr;
    });
    act(found);
  });
}

TEST(GtkDialogWindow, MessageBoxShowsTextAndCaptionAndAnswersOkAlsoWhenClosed) {
  RecordingTarget target;
  RunModal(target, [&] {
    for (const int response : {GTK_RESPONSE_OK, GTK_RESPONSE_DELETE_EVENT}) {
      std::string text;
      std::string title;
      bool modal = false;
      bool onTheWindow = false;
      int buttons = 0;
      bool hasOk = false;
      WithDialog(GTK_TYPE_MESSAGE_DIALOG, [&](GtkWidget* dialog) {
        ASSERT_NE(dialog, nullptr);
        gchar* shown = nullptr;
        g_object_get(dialog, "text", &shown, nullptr);
        text = shown != nullptr ? shown : "";
        g_free(shown);
        title = gtk_window_get_title(GTK_WINDOW(dialog));
        modal = gtk_window_get_modal(GTK_WINDOW(dialog));
        onTheWindow = gtk_window_get_transient_for(GTK_WINDOW(dialog)) == Window().Widget();
        for (const int button :
             {GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL, GTK_RESPONSE_CLOSE, GTK_RESPONSE_YES, GTK_RESPONSE_NO}) {
          buttons += gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), button) != nullptr ? 1 : 0;
        }
        hasOk = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK) != nullptr;
        gtk_dialog_response(GTK_DIALOG(dialog), response);
      });
      EXPECT_EQ(Window().MessageBox("运行安装程序失败，请手动执行...", "运行失败", MB_OK), IDOK);
      EXPECT_EQ(text, "运行安装程序失败，请手动执行...");
      EXPECT_EQ(title, "运行失败");
      EXPECT_TRUE(modal);
      EXPECT_TRUE(onTheWindow);
      EXPECT_EQ(buttons, 1);
      EXPECT_TRUE(hasOk);
    }
  });
}

TEST(GtkDialogWindow, SaveDialogOffersTheNameAndFiltersAndAddsTheDefaultExtension) {
  const std::string folder = NewFolder("save");
  RecordingTarget target;
  RunModal(target, [&] {
    SaveDialogOptions options;
    options.defaultExtension = "exe";
    options.initialName = "tool_setup.exe";
    options.filters = {{"应用程序(*.exe)", "*.exe"}, {"所有文件(*.*)", "*.*"}};

    std::string offeredName;
    std::vector<std::string> filterNames;
    bool confirms = false;
    WithDialog(GTK_TYPE_FILE_CHOOSER_DIALOG, [&](GtkWidget* dialog) {
      ASSERT_NE(dialog, nullptr);
      GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
      gchar* name = gtk_file_chooser_get_current_name(chooser);
      offeredName = name != nullptr ? name : "";
      g_free(name);
      GSList* filters = gtk_file_chooser_list_filters(chooser);
      for (GSList* item = filters; item != nullptr; item = item->next) {
        filterNames.emplace_back(gtk_file_filter_get_name(GTK_FILE_FILTER(item->data)));
      }
      g_slist_free(filters);
      confirms = gtk_file_chooser_get_do_overwrite_confirmation(chooser);
      gtk_file_chooser_set_current_folder(chooser, folder.c_str());
      gtk_file_chooser_set_current_name(chooser, "renamed");
      gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    });
    const auto chosen = Window().ShowSaveDialog(options);
    EXPECT_EQ(offeredName, "tool_setup.exe");
    EXPECT_EQ(filterNames, (std::vector<std::string>{"应用程序(*.exe)", "所有文件(*.*)"}));
    EXPECT_TRUE(confirms);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, (std::filesystem::path(folder) / "renamed.exe").string());

    WithDialog(GTK_TYPE_FILE_CHOOSER_DIALOG,
               [](GtkWidget* dialog) { gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL); });
    EXPECT_FALSE(Window().ShowSaveDialog(options).has_value());
  });
}

}  // namespace
}  // namespace tarnel::platform::gtk::test
