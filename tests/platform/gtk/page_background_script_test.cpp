// The script that reads the page's background colour, run in a real browser
// over pages styled in the ways vendors style them; its answers go through
// the same reading as on Windows.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/page_background.h"
#include "web_test_support.h"

namespace tarnel::platform::gtk::test {
namespace {

// Styles the root and the body case by case, runs the script after each and
// posts all answers at once.
std::string CasesPage() {
  return Page(std::string("function read() { return ") + kPageBackgroundScript + R"(; }
var root = document.documentElement.style, body = document.body.style;
var cases = [
  ['#102030', ''],
  ['', 'rgb(1, 2, 3)'],
  ['teal', 'red'],
  ['', ''],
  ['rgba(0, 0, 0, 0.5)', ''],
  ['hsl(120, 100%, 25%)', ''],
  ['transparent', 'linear-gradient(red, blue)'],
  ['not-a-colour', '#abcdef'],
];
var answers = cases.map(function (c) {
  root.background = c[0];
  body.background = c[1];
  return JSON.stringify(read());
});
document.body.remove();
answers.push(JSON.stringify(read()));
window.chrome.webview.postMessage(JSON.stringify({ answers: answers }));
)");
}

TEST(PageBackgroundScript, GivesTheColourTheCanvasIsPaintedIn) {
  PageServer server({{"/page", CasesPage()}});
  BrowserRun run;
  run.Run(server.Url("/page"), [&] {
    const std::optional<nlohmann::json> message = run.WaitForJsonWith("answers");
    ASSERT_TRUE(message);
    const nlohmann::json& answers = (*message)["answers"];
    ASSERT_EQ(answers.size(), 9u) << message->dump();
    auto colour = [&](std::size_t i) { return PageBackgroundFromJson(answers[i].get<std::string>()); };
    auto expect = [&](std::size_t i, int r, int g, int b) {
      const std::optional<OpaqueColour> c = colour(i);
      ASSERT_TRUE(c) << "case " << i << ": " << answers[i];
      EXPECT_EQ(c->red, r) << "case " << i;
      EXPECT_EQ(c->green, g) << "case " << i;
      EXPECT_EQ(c->blue, b) << "case " << i;
    };
    expect(0, 16, 32, 48);                  // the root's colour
    expect(1, 1, 2, 3);                     // the body's, the root having none
    expect(2, 0, 128, 128);                 // the root's wins over the body's
    EXPECT_FALSE(colour(3)) << answers[3];  // none: the browser's white stays
    expect(4, 127, 127, 127);               // half-transparent black over white
    expect(5, 0, 128, 0);                   // any colour notation
    EXPECT_FALSE(colour(6)) << answers[6];  // an image is no colour
    expect(7, 0xab, 0xcd, 0xef);            // a root colour the page got wrong counts as none
    EXPECT_FALSE(colour(8)) << answers[8];  // no body and a plain root
  });
}

}  // namespace
}  // namespace tarnel::platform::gtk::test
