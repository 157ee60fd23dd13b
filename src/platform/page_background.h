#pragma once
// The page's own background colour. A browser fills what it has not yet
// painted (a window's first moments at a new size) with its default
// background; set to the page's colour, those moments look like the page
// rather than a white flash on a dark page.
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnel::platform {

struct OpaqueColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// A script whose result is the colour the page's canvas is painted in, as
// [red, green, blue, alpha] from 0 to 255: the root element's background, or
// the body's when the root has none (the body's then fills the canvas). Null
// when neither has one: the browser's white is the page's background then.
extern const char kPageBackgroundScript[];

// The colour to show from the script's result (JSON). A partly transparent
// colour is laid over white, as the browser shows it. Nothing for null, a
// transparent colour or anything that is not four values 0 to 255.
std::optional<OpaqueColour> PageBackgroundFromJson(std::string_view json);

}  // namespace tarnel::platform
