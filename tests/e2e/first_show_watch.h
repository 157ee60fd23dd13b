#pragma once
// Watches an X screen the way a person sees it while tarnel's window first
// appears: from the moment any of the window is on screen, it reads the
// screen's pixels under it as often as it can and tells a sample showing the
// page from one showing an unpainted window.
#include <chrono>
#include <string>
#include <vector>

namespace tarnel::e2e {

struct FirstShow {
  bool shown = false;       // the window came on screen within the time allowed
  int samples = 0;          // screen reads from then on
  int unpainted = 0;        // of them, reads where the window was not the page
  double sizedMs = 0;       // start of the watch to the window at the page's size, on screen or not
  double visibleMs = 0;     // start of the watch to the window on screen
  double paintedMs = 0;     // start of the watch to the first read showing the page
  double largestGapMs = 0;  // the longest time between two reads
  // The share of pixels of the first read showing the page that differ
  // clearly from the last read: 0 when the window first showed the page as
  // it goes on to look, large for a picture at the wrong place or scale.
  double firstFrameDifference = 0;
  // When unpainted reads happened, from the window coming on screen.
  double firstUnpaintedMs = 0;
  double lastUnpaintedMs = 0;
};

// What a read of the window's pixels shows. An unpainted window is one
// colour (a browser or window background before the page's first paint);
// the page has many. `pixels` are 0xRRGGBB, row by row.
bool LooksPainted(const unsigned* pixels, int width, int height);

// The share of pixels in which `a` and `b` (0xRRGGBB, the same size) differ
// by more than a little in any channel.
double DifferentShare(const std::vector<unsigned>& a, const std::vector<unsigned>& b);

// Watches `display` for the top-level window of class "Tarnel" reaching
// `width` x `height`, up to `timeout` for it to come on screen and then for
// `watch` more.
FirstShow WatchFirstShow(const std::string& display, int width, int height, std::chrono::milliseconds timeout,
                         std::chrono::milliseconds watch);

}  // namespace tarnel::e2e
