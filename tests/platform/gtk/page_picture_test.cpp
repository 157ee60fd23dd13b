// A picture of the page at the size the window is about to get, taken while
// WebKit shows nothing on screen, and the cover that shows it until the view
// has painted the page itself.
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdint>
#include <optional>

#include "gtk_test_support.h"
#include "platform/gtk/page_cover.h"
#include "platform/gtk/page_picture.h"

namespace tarnel::platform::gtk::test {
namespace {

using namespace std::chrono_literals;

// Left half red, right half blue, whatever the width: a picture laid out at
// another size shows it at the wrong place.
constexpr char kHalves[] =
    "<!doctype html><html><body style='margin:0;height:100vh;"
    "background:linear-gradient(to right,#ff0000 50%,#0000ff 50%)'></body></html>";

std::uint32_t PixelAt(cairo_surface_t* surface, int x, int y) {
  cairo_surface_flush(surface);
  const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
  return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xffffffu;
}

// A web view with `html` loaded, in a window that is not shown unless asked:
// like an iconified one, it gets no allocation and WebKit draws nothing on
// screen.
struct LoadedPage {
  explicit LoadedPage(const char* html, bool shown = false) {
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(window), 160, 100);
    view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    gtk_widget_show(view);
    if (shown) gtk_widget_show(window);
    webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), html, "http://127.0.0.1/");
    EXPECT_TRUE(RunLoopUntil([&] { return !webkit_web_view_is_loading(WEBKIT_WEB_VIEW(view)); }, 20000));
  }
  ~LoadedPage() { gtk_widget_destroy(window); }
  GtkWidget* window;
  GtkWidget* view;
};

TEST(PagePicture, ShowsThePageLaidOutAtTheSizeAskedEvenInAWindowNotOnScreen) {
  LoadedPage page(kHalves);
  std::optional<CairoSurfacePtr> picture;
  PagePicture taker(page.view, 300, 200, 20s, [&](CairoSurfacePtr taken) { picture = std::move(taken); });
  EXPECT_FALSE(picture) << "done ran inside the constructor";
  ASSERT_TRUE(RunLoopUntil([&] { return picture.has_value(); }, 20000));
  ASSERT_TRUE(*picture) << "no picture";
  cairo_surface_t* surface = picture->get();
  ASSERT_EQ(cairo_surface_get_type(surface), CAIRO_SURFACE_TYPE_IMAGE);
  EXPECT_EQ(cairo_image_surface_get_width(surface), 300);
  EXPECT_EQ(cairo_image_surface_get_height(surface), 200);
  EXPECT_EQ(PixelAt(surface, 10, 100), 0xff0000u);
  EXPECT_EQ(PixelAt(surface, 140, 100), 0xff0000u);
  EXPECT_EQ(PixelAt(surface, 160, 100), 0x0000ffu);
  EXPECT_EQ(PixelAt(surface, 290, 190), 0x0000ffu);
}

TEST(PagePicture, AViewThatIsNoBrowserGivesNoPictureAndAGoneTakerNothing) {
  GtkWidget* label = g_object_ref_sink(gtk_label_new("not a page"));
  int calls = 0;
  bool empty = false;
  PagePicture taker(label, 120, 80, 20s, [&](CairoSurfacePtr taken) {
    ++calls;
    empty = taken == nullptr;
  });
  EXPECT_EQ(calls, 0);
  ASSERT_TRUE(RunLoopUntil([&] { return calls > 0; }));
  EXPECT_TRUE(empty);

  // Destroyed before it could finish: done never runs, not even at its limit.
  int late = 0;
  {
    LoadedPage page(kHalves);
    auto gone = std::make_unique<PagePicture>(page.view, 300, 200, 50ms, [&](CairoSurfacePtr) { ++late; });
    gone.reset();
  }
  DrainEvents();
  g_usleep(100 * 1000);
  DrainEvents();
  EXPECT_EQ(late, 0);
  EXPECT_EQ(calls, 1);
  g_object_unref(label);
}

// Draws the window as it would show on screen.
std::uint32_t DrawnPixel(GtkWidget* window, int x, int y) {
  const CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, gtk_widget_get_allocated_width(window),
                                                           gtk_widget_get_allocated_height(window)));
  cairo_t* cr = cairo_create(surface.get());
  gtk_widget_draw(window, cr);
  cairo_destroy(cr);
  return PixelAt(surface.get(), x, y);
}

CairoSurfacePtr RedPicture() {
  CairoSurfacePtr red(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 160, 100));
  cairo_t* cr = cairo_create(red.get());
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  return red;
}

TEST(PageCover, DrawsThePictureOverTheWindowUntilTheViewHasPaintedItself) {
  LoadedPage page("<!doctype html><body style='margin:0;height:100vh;background:#00ff00'></body>", true);
  ASSERT_TRUE(RunLoopUntil([&] { return gtk_widget_get_allocated_width(page.view) == 160; }));
  ASSERT_TRUE(RunLoopUntil([&] { return DrawnPixel(page.window, 80, 50) == 0x00ff00u; }, 20000));

  PageCover cover(page.window, page.view, RedPicture(), 160, 100, 20s);
  ASSERT_TRUE(cover.Covering());
  EXPECT_EQ(DrawnPixel(page.window, 80, 50), 0xff0000u);
  // The page runs its frames and the view draws: from then on it shows through.
  ASSERT_TRUE(RunLoopUntil([&] { return !cover.Covering(); }, 20000));
  EXPECT_EQ(DrawnPixel(page.window, 80, 50), 0x00ff00u);

  // Without a picture there is nothing to cover.
  PageCover none(page.window, page.view, nullptr, 160, 100, 20s);
  EXPECT_FALSE(none.Covering());
}

}  // namespace
}  // namespace tarnel::platform::gtk::test
