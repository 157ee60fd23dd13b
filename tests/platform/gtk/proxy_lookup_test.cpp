// The desktop's proxy for a URL, as GtkSystem asks GIO's default resolver.
// Without a desktop session the resolver glib-networking provides follows the
// proxy environment variables, which these tests set.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/gtk/gtk_system.h"

namespace tarnel::platform::gtk::test {
namespace {

constexpr const char* kProxyVariables[] = {"http_proxy",  "https_proxy", "no_proxy",  "all_proxy", "HTTP_PROXY",
                                           "HTTPS_PROXY", "NO_PROXY",    "ALL_PROXY", "ftp_proxy", "FTP_PROXY"};

// Sets the proxy variables for one test and puts the old values back after it.
class ProxyEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kProxyVariables) {
      if (const char* value = getenv(name)) saved_[name] = value;
      unsetenv(name);
    }
    const std::string type = G_OBJECT_TYPE_NAME(g_proxy_resolver_get_default());
    // GIO alone has only a resolver that always answers "direct://".
    ASSERT_NE(type, "GDummyProxyResolver") << "GIO has no proxy resolver: is glib-networking installed?";
  }
  void TearDown() override {
    for (const char* name : kProxyVariables) unsetenv(name);
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }

  GtkSystem system_;

 private:
  std::map<std::string, std::string> saved_;
};

TEST_F(ProxyEnvironment, WithoutAProxyTheAnswerIsADirectConnection) {
  EXPECT_EQ(system_.ProxyForUrl("http://downloads.example/setup.exe"), std::optional<std::string>(""));
  EXPECT_EQ(system_.ProxyForUrl("https://downloads.example/setup.exe"), std::optional<std::string>(""));
}

TEST_F(ProxyEnvironment, TheProxyOfTheEnvironmentIsAnsweredPerSchemeExceptForNoProxyHosts) {
  setenv("http_proxy", "http://127.0.0.1:3128", 1);
  setenv("https_proxy", "http://127.0.0.1:3129", 1);
  setenv("no_proxy", "nearby.example,localhost", 1);
  EXPECT_EQ(system_.ProxyForUrl("http://downloads.example/setup.exe?x=1"),
            std::optional<std::string>("http://127.0.0.1:3128"));
  EXPECT_EQ(system_.ProxyForUrl("https://downloads.example/setup.exe"),
            std::optional<std::string>("http://127.0.0.1:3129"));
  EXPECT_EQ(system_.ProxyForUrl("http://nearby.example/setup.exe"), std::optional<std::string>(""));
  EXPECT_EQ(system_.ProxyForUrl("https://nearby.example/setup.exe"), std::optional<std::string>(""));
  // The variables are read at each lookup: gone again, direct again.
  unsetenv("http_proxy");
  unsetenv("https_proxy");
  EXPECT_EQ(system_.ProxyForUrl("http://downloads.example/setup.exe"), std::optional<std::string>(""));
}

TEST_F(ProxyEnvironment, ASocks5ProxyResolvesNamesAtTheProxy) {
  setenv("http_proxy", "socks5://127.0.0.1:1080", 1);
  EXPECT_EQ(system_.ProxyForUrl("http://downloads.example/setup.exe"),
            std::optional<std::string>("socks5h://127.0.0.1:1080"));
}

TEST_F(ProxyEnvironment, LookupsFromManyThreadsAtOnceAllGetTheirAnswer) {
  setenv("http_proxy", "http://127.0.0.1:3128", 1);
  setenv("no_proxy", "nearby.example", 1);
  std::vector<std::optional<std::string>> answers(16);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < answers.size(); ++i) {
    threads.emplace_back([&, i] {
      answers[i] = system_.ProxyForUrl(i % 2 == 0 ? "http://downloads.example/a" : "http://nearby.example/b");
    });
  }
  for (auto& thread : threads) thread.join();
  for (std::size_t i = 0; i < answers.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(answers[i], std::optional<std::string>(i % 2 == 0 ? "http://127.0.0.1:3128" : ""));
  }
}

}  // namespace
}  // namespace tarnel::platform::gtk::test
