#include "first_show_watch.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace tarnel::e2e {
namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

bool IsTarnel(Display* display, Window window) {
  XClassHint hint{};
  if (XGetClassHint(display, window, &hint) == 0) return false;
  const bool match = hint.res_class != nullptr && std::strcmp(hint.res_class, "Tarnel") == 0;
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  return match;
}

// The largest mapped window of class Tarnel, at most three levels below the
// root (a window manager's frame puts it one level down). GTK's unmapped
// leader window has the class too.
std::optional<Window> FindTarnel(Display* display, Window parent, int depth) {
  Window root = 0;
  Window up = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, parent, &root, &up, &children, &count) == 0) return std::nullopt;
  std::optional<Window> best;
  int bestArea = 0;
  for (unsigned i = 0; i < count; ++i) {
    std::optional<Window> found;
    if (IsTarnel(display, children[i])) {
      found = children[i];
    } else if (depth > 0) {
      found = FindTarnel(display, children[i], depth - 1);
    }
    XWindowAttributes attributes;
    if (found && XGetWindowAttributes(display, *found, &attributes) != 0 && attributes.map_state == IsViewable &&
        attributes.width * attributes.height > bestArea) {
      best = found;
      bestArea = attributes.width * attributes.height;
    }
  }
  if (children != nullptr) XFree(children);
  return best;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

// A window with an empty bounding shape has no pixels on screen; so has one
// whose frame (its parent, under a window manager) has an empty shape.
bool HasPixels(Display* display, Window window, Window root) {
  for (int level = 0; level < 2 && window != root; ++level) {
    int count = 0;
    int ordering = 0;
    XRectangle* rectangles = XShapeGetRectangles(display, window, ShapeBounding, &count, &ordering);
    if (rectangles != nullptr) XFree(rectangles);
    if (count == 0) return false;
    Window up = 0;
    Window top = 0;
    Window* children = nullptr;
    unsigned n = 0;
    if (XQueryTree(display, window, &top, &up, &children, &n) == 0) return true;
    if (children != nullptr) XFree(children);
    window = up;
  }
  return true;
}

}  // namespace

bool LooksPainted(const unsigned* pixels, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  std::set<unsigned> colours;
  for (int y = 0; y < height; y += 3) {
    for (int x = 0; x < width; x += 3) {
      colours.insert(
          pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]);
      if (colours.size() >= 8) return true;
    }
  }
  return false;
}

double DifferentShare(const std::vector<unsigned>& a, const std::vector<unsigned>& b) {
  if (a.empty() || a.size() != b.size()) return 1;
  constexpr int kLittle = 48;
  std::size_t different = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (int shift = 0; shift <= 16; shift += 8) {
      const int x = static_cast<int>((a[i] >> shift) & 0xffu);
      const int y = static_cast<int>((b[i] >> shift) & 0xffu);
      if (std::abs(x - y) > kLittle) {
        ++different;
        break;
      }
    }
  }
  return static_cast<double>(different) / static_cast<double>(a.size());
}

FirstShow WatchFirstShow(const std::string& name, int width, int height, std::chrono::milliseconds timeout,
                         std::chrono::milliseconds watch) {
  FirstShow result;
  // A busy X server may turn a new client away for a moment.
  Display* display = nullptr;
  for (int attempt = 0; attempt < 50 && display == nullptr; ++attempt) {
    display = XOpenDisplay(name.c_str());
    if (display == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (display == nullptr) return result;
  XSetErrorHandler(IgnoreErrors);  // the window may go at any moment
  const Window root = DefaultRootWindow(display);
  const int screenWidth = DisplayWidth(display, DefaultScreen(display));
  const int screenHeight = DisplayHeight(display, DefaultScreen(display));
  const Clock::time_point start = Clock::now();
  Clock::time_point deadline = start + timeout;
  std::optional<Clock::time_point> visibleAt;
  std::optional<Clock::time_point> lastRead;
  Window window = None;
  std::vector<unsigned> pixels;
  std::vector<unsigned> firstPainted;
  std::vector<unsigned> lastPainted;
  while (Clock::now() < deadline) {
    if (window == None || !visibleAt) {
      window = FindTarnel(display, root, 3).value_or(None);
      if (window == None) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
    }
    XWindowAttributes attributes;
    int x = 0;
    int y = 0;
    Window child = 0;
    if (XGetWindowAttributes(display, window, &attributes) == 0 ||
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child) == 0) {
      window = None;
      continue;
    }
    if (result.sizedMs == 0 && attributes.width == width && attributes.height == height) {
      result.sizedMs = MsBetween(start, Clock::now());
    }
    // The part of the window on screen, if it is mapped and shown.
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + attributes.width, screenWidth);
    const int bottom = std::min(y + attributes.height, screenHeight);
    if (attributes.map_state != IsViewable || right <= left || bottom <= top || !HasPixels(display, window, root)) {
      if (visibleAt) window = None;  // gone again: look for it anew
      continue;
    }
    const Clock::time_point now = Clock::now();
    if (!visibleAt) {
      visibleAt = now;
      result.shown = true;
      result.visibleMs = MsBetween(start, now);
      deadline = now + watch;
    }
    XImage* image = XGetImage(display, root, left, top, static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (image == nullptr) continue;
    const int w = right - left;
    const int h = bottom - top;
    pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int row = 0; row < h; ++row) {
      unsigned* out = pixels.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(w);
      if (image->bits_per_pixel == 32 && image->byte_order == LSBFirst) {
        std::memcpy(out, image->data + static_cast<std::ptrdiff_t>(row) * image->bytes_per_line,
                    static_cast<std::size_t>(w) * 4);
        for (int column = 0; column < w; ++column) out[column] &= 0xffffffu;
      } else {
        for (int column = 0; column < w; ++column) {
          out[column] = static_cast<unsigned>(XGetPixel(image, column, row)) & 0xffffffu;
        }
      }
    }
    XDestroyImage(image);
    const Clock::time_point read = Clock::now();
    if (lastRead) result.largestGapMs = std::max(result.largestGapMs, MsBetween(*lastRead, read));
    lastRead = read;
    ++result.samples;
    // The page at its final size, whole on screen, many colours.
    const bool whole = attributes.width == width && attributes.height == height && w == width && h == height;
    if (whole && LooksPainted(pixels.data(), w, h)) {
      if (result.paintedMs == 0) {
        result.paintedMs = MsBetween(start, read);
        firstPainted = pixels;
      }
      lastPainted.swap(pixels);  // kept without a copy; the next read refills `pixels`
    } else {
      if (result.unpainted++ == 0) result.firstUnpaintedMs = MsBetween(*visibleAt, read);
      result.lastUnpaintedMs = MsBetween(*visibleAt, read);
    }
  }
  XCloseDisplay(display);
  if (!firstPainted.empty()) result.firstFrameDifference = DifferentShare(firstPainted, lastPainted);
  return result;
}

}  // namespace tarnel::e2e
