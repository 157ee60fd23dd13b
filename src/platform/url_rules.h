#pragma once
// Rules for the addresses that the page hands to the application: which
// origin a page belongs to, and which addresses may be passed on to the
// desktop. Pure functions; safe on any thread.
#include <string>

namespace tarnel::platform {

// "scheme://host[:port]" of an absolute http or https URL, with scheme and
// host in lower case and the scheme's default port left out; userinfo, path,
// query and fragment are dropped. Empty for anything else (other schemes,
// relative text, an empty host, a malformed port, control characters), which
// never equals a real origin.
std::string OriginOf(const std::string& url);

// An absolute http or https URL with a host.
bool IsWebUrl(const std::string& url);

// An http or https URL whose host is this machine: 127.0.0.0/8 in dotted
// decimal, [::1] or "localhost".
bool IsLoopbackUrl(const std::string& url);

// What the page, a download or a redirect may come over: https, or plain
// http to this machine only (where nobody else is on the path).
bool IsTrustedTransport(const std::string& url);

// What may be handed to the desktop's URL opener: an absolute http or https
// URL with a host, or a "mailto:" URL with an address part. Refuses file:,
// javascript: and every other scheme, relative text, paths, text that starts
// with '-' (it would read as an option) and text with control characters.
bool IsOpenableUrl(const std::string& url);

// A "mailto:" URL without its "attach" and "attachment" fields (any case),
// which some mail clients take as local files to attach; anything else as it is.
std::string WithoutMailAttachments(const std::string& url);

}  // namespace tarnel::platform
