#include "platform/page_background.h"

#include <array>
#include <nlohmann/json.hpp>

namespace tarnel::platform {

// A colour the 2D canvas cannot read leaves the transparent fill in place, so
// it is passed over like no colour at all.
const char kPageBackgroundScript[] = R"((() => {
  const context = document.createElement('canvas').getContext('2d');
  if (!context) return null;
  for (const element of [document.documentElement, document.body]) {
    if (!element) continue;
    context.clearRect(0, 0, 1, 1);
    context.fillStyle = 'rgba(0, 0, 0, 0)';
    context.fillStyle = getComputedStyle(element).backgroundColor;
    context.fillRect(0, 0, 1, 1);
    const pixel = context.getImageData(0, 0, 1, 1).data;
    if (pixel[3] > 0) return Array.from(pixel);
  }
  return null;
})())";

std::optional<OpaqueColour> PageBackgroundFromJson(std::string_view json) {
  // The page's own script can make the answer anything; a colour is a few bytes.
  constexpr std::size_t kLongestColour = 64;
  if (json.size() > kLongestColour) return std::nullopt;
  const nlohmann::json value = nlohmann::json::parse(json, nullptr, false);
  if (!value.is_array() || value.size() != 4) return std::nullopt;
  std::array<unsigned, 4> channels{};
  for (std::size_t i = 0; i < channels.size(); ++i) {
    if (!value[i].is_number_integer()) return std::nullopt;
    const auto channel = value[i].get<long long>();
    if (channel < 0 || channel > 255) return std::nullopt;
    channels[i] = static_cast<unsigned>(channel);
  }
  const unsigned alpha = channels[3];
  if (alpha == 0) return std::nullopt;
  // Over white: channel * alpha + 255 * (1 - alpha), rounded.
  auto overWhite = [alpha](unsigned channel) {
    return static_cast<std::uint8_t>((channel * alpha + 255 * (255 - alpha) + 127) / 255);
  };
  return OpaqueColour{overWhite(channels[0]), overWhite(channels[1]), overWhite(channels[2])};
}

}  // namespace tarnel::platform
