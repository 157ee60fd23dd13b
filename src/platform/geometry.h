#pragma once
// Points and rectangles in device pixels, as window operations use them.

namespace tarnel::platform {

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

struct Dpi {
  unsigned x = 96;
  unsigned y = 96;
};

}  // namespace tarnel::platform
