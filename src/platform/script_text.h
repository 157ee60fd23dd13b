#pragma once
// Text of the scripts that connect the page to the application: the page
// bridge injected into every top-level document, and the script that hands a
// JSON text to the page's listeners. Everything the application puts into a
// script goes through JsStringLiteral, so no text can run as code.
// Pure functions; safe on any thread.
#include <string>
#include <string_view>

namespace tarnel::platform {

// Name of the script message channel the page bridge posts through.
inline constexpr std::string_view kPageMessageChannel = "tarnelPageMessage";

// Name of the hidden, read-only window property through which the
// application delivers messages to the page bridge.
inline constexpr std::string_view kPageReceiveFunction = "__tarnelReceive";

// A double-quoted JavaScript string literal whose value is `text` read as
// UTF-8. The result is printable ASCII only: quotes, backslashes, '<', '>',
// '&', '`', control characters, U+2028/U+2029 and every non-ASCII character
// are written as escapes (astral characters as surrogate pairs), so it can
// neither end the literal nor a surrounding <script> element. Byte sequences
// that are not UTF-8 become U+FFFD.
std::string JsStringLiteral(std::string_view text);

// The document-start script that defines window.chrome.webview
// (postMessage, addEventListener, removeEventListener) for the page. Each
// post is an object { token, origin, isString, text }: `token`, which only
// this script knows, tells posts that come through it from any other, and
// `origin` is the document's location.origin as it was before any script of
// the page ran.
std::string PageBridgeScript(std::string_view token);

// A script that hands `json` to the page bridge as text; the bridge parses it
// with JSON.parse and dispatches a "message" event whose data is the value.
std::string DeliverMessageScript(std::string_view json);

}  // namespace tarnel::platform
