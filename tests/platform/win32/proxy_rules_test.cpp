// WinHTTP's proxy lists and bypass lists read as libcurl takes them.
#include <gtest/gtest.h>

#include "platform/win32/proxy_rules.h"

namespace tarnel::platform::win32 {
namespace {

TEST(ProxyRules, ReadsSchemeHostAndPort) {
  const auto target = ParseProxyTarget("HTTPS://Example.COM/path?q");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->scheme, "https");
  EXPECT_EQ(target->host, "example.com");
  EXPECT_EQ(target->port, 443);
  EXPECT_EQ(ParseProxyTarget("http://h:8080/")->port, 8080);
  EXPECT_EQ(ParseProxyTarget("http://[::1]:81/")->host, "[::1]");
  EXPECT_EQ(ParseProxyTarget("http://[::1]:81/")->port, 81);
  EXPECT_FALSE(ParseProxyTarget("ftp://example.com/"));
  EXPECT_FALSE(ParseProxyTarget("not a url"));
}

TEST(ProxyRules, OneProxyForEveryScheme) {
  EXPECT_EQ(ProxyFromList("proxy.example:8080", "https"), "http://proxy.example:8080");
  EXPECT_EQ(ProxyFromList("proxy.example", "http"), "http://proxy.example:80");
  // Several entries, as a configuration script answers: the first.
  EXPECT_EQ(ProxyFromList("a.example:1; b.example:2", "http"), "http://a.example:1");
  EXPECT_EQ(ProxyFromList(" \t a.example:3 b.example:4", "http"), "http://a.example:3");
  EXPECT_EQ(ProxyFromList("[fd00::1]:3128", "http"), "http://[fd00::1]:3128");
  EXPECT_EQ(ProxyFromList("", "http"), "");
  EXPECT_EQ(ProxyFromList(" ;; ", "http"), "");
}

TEST(ProxyRules, EntriesPerScheme) {
  const std::string list = "http=web.example:3128;https=secure.example:3129;ftp=files.example:21";
  EXPECT_EQ(ProxyFromList(list, "http"), "http://web.example:3128");
  EXPECT_EQ(ProxyFromList(list, "https"), "http://secure.example:3129");
  EXPECT_EQ(ProxyFromList("HTTPS=Secure.example:1", "https"), "http://Secure.example:1");
  // Nothing for this scheme: a direct connection.
  EXPECT_EQ(ProxyFromList("http=web.example:3128", "https"), "");
  // An entry for the scheme wins over one for every scheme, wherever it is.
  EXPECT_EQ(ProxyFromList("all.example:1;https=secure.example:2", "https"), "http://secure.example:2");
  EXPECT_EQ(ProxyFromList("all.example:1;https=secure.example:2", "http"), "http://all.example:1");
}

TEST(ProxyRules, NamedKindsAndSocks) {
  EXPECT_EQ(ProxyFromList("https://tls.example:8443", "http"), "https://tls.example:8443");
  EXPECT_EQ(ProxyFromList("https://tls.example", "http"), "https://tls.example:443");
  EXPECT_EQ(ProxyFromList("http=http://web.example:81/", "http"), "http://web.example:81");
  EXPECT_EQ(ProxyFromList("socks=sock.example:1080", "https"), "socks4://sock.example:1080");
  EXPECT_EQ(ProxyFromList("socks=sock.example", "https"), "socks4://sock.example:1080");
  EXPECT_EQ(ProxyFromList("socks=socks5://sock.example:9050", "http"), "socks5://sock.example:9050");
  // SOCKS only when nothing else applies.
  EXPECT_EQ(ProxyFromList("socks=sock.example:1080;https=secure.example:3", "https"), "http://secure.example:3");
}

TEST(ProxyRules, BypassList) {
  const auto target = [](const std::string& url) { return *ParseProxyTarget(url); };
  EXPECT_TRUE(BypassesProxy("<local>", target("http://intranet/")));
  EXPECT_FALSE(BypassesProxy("<local>", target("http://intranet.example/")));
  EXPECT_FALSE(BypassesProxy("<local>", target("http://[::1]/")));
  EXPECT_TRUE(BypassesProxy("*.corp.example", target("https://a.b.corp.example/")));
  EXPECT_FALSE(BypassesProxy("*.corp.example", target("https://corp.example/")));
  EXPECT_TRUE(BypassesProxy("*corp.example", target("https://corp.example/")));
  EXPECT_TRUE(BypassesProxy("10.*", target("http://10.1.2.3/")));
  EXPECT_FALSE(BypassesProxy("10.*", target("http://110.1.2.3/")));
  EXPECT_TRUE(BypassesProxy("host-?.example", target("http://host-7.example/")));
  EXPECT_TRUE(BypassesProxy("EXAMPLE.com", target("http://example.COM/")));
  EXPECT_FALSE(BypassesProxy("example.com", target("http://www.example.com/")));
  // Several entries, any separator.
  EXPECT_TRUE(BypassesProxy("a.example; <local>  b.example", target("http://b.example/")));
  EXPECT_TRUE(BypassesProxy("a.example;<local>", target("http://printer/")));
  // With a scheme or a port, only those.
  EXPECT_TRUE(BypassesProxy("https://secure.example", target("https://secure.example/")));
  EXPECT_FALSE(BypassesProxy("https://secure.example", target("http://secure.example/")));
  EXPECT_TRUE(BypassesProxy("web.example:8080", target("http://web.example:8080/")));
  EXPECT_FALSE(BypassesProxy("web.example:8080", target("http://web.example/")));
  EXPECT_TRUE(BypassesProxy("[::1]", target("http://[::1]:99/")));
  EXPECT_FALSE(BypassesProxy("", target("http://example.com/")));
}

TEST(ProxyRules, WholeAnswers) {
  const std::string list = "http=web.example:3128;https=secure.example:3129";
  const std::string bypass = "<local>;*.corp.example";
  EXPECT_EQ(CurlProxyFor("https://download.example/file", list, bypass), "http://secure.example:3129");
  EXPECT_EQ(CurlProxyFor("http://download.example/file", list, bypass), "http://web.example:3128");
  EXPECT_EQ(CurlProxyFor("https://files.corp.example/", list, bypass), "");
  EXPECT_EQ(CurlProxyFor("http://nas/", list, bypass), "");
  EXPECT_EQ(CurlProxyFor("mailto:someone@example.com", list, bypass), std::nullopt);
}

}  // namespace
}  // namespace tarnel::platform::win32
