// The process's own path and the user's proxy settings through WinHTTP.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/wide_text.h"
#include "platform/win32/win32_system.h"

namespace tarnel::platform::win32 {
namespace {

TEST(Win32System, ModuleFileNameIsThisExecutable) {
  Win32System system;
  const std::string path = system.GetModuleFileName();
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(path.ends_with("\\tarnel_platform_win32_tests.exe")) << path;
  EXPECT_NE(GetFileAttributesW(Utf8ToWide(path).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Win32System, ProxyForAnythingButAWebUrlIsNoAnswer) {
  Win32System system;
  EXPECT_EQ(system.ProxyForUrl("mailto:a@example.com"), std::nullopt);
  EXPECT_EQ(system.ProxyForUrl(""), std::nullopt);
}

// The user's connection settings as the system keeps them (a binary value:
// a header with the PROXY_* flags, then the proxy list, the bypass list and
// the configuration script's address, each as a length and 8-bit text),
// replaced for as long as the object lives.
class ScopedConnectionSettings {
 public:
  static constexpr DWORD kDirect = 1;
  static constexpr DWORD kProxy = 2;

  ScopedConnectionSettings(DWORD flags, const std::string& proxy, const std::string& bypass) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    DWORD size = 0;
    if (RegQueryValueExW(key_, kValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
      saved_.resize(size);
      RegQueryValueExW(key_, kValue, nullptr, nullptr, saved_.data(), &size);
      hadValue_ = true;
    }
    std::vector<BYTE> blob;
    const auto put = [&](DWORD value) {
      const auto* bytes = reinterpret_cast<const BYTE*>(&value);
      blob.insert(blob.end(), bytes, bytes + sizeof(value));
    };
    const auto putText = [&](const std::string& text) {
      put(static_cast<DWORD>(text.size()));
      blob.insert(blob.end(), text.begin(), text.end());
    };
    put(0x46);  // the settings' version
    put(0);
    put(flags);
    putText(proxy);
    putText(bypass);
    putText("");  // no configuration script
    blob.resize(blob.size() + 32, 0);
    RegSetValueExW(key_, kValue, 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()));
  }
  ~ScopedConnectionSettings() {
    if (hadValue_) {
      RegSetValueExW(key_, kValue, 0, REG_BINARY, saved_.data(), static_cast<DWORD>(saved_.size()));
    } else {
      RegDeleteValueW(key_, kValue);
    }
    RegCloseKey(key_);
  }
  ScopedConnectionSettings(const ScopedConnectionSettings&) = delete;
  ScopedConnectionSettings& operator=(const ScopedConnectionSettings&) = delete;

 private:
  static constexpr const wchar_t* kKey =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
  static constexpr const wchar_t* kValue = L"DefaultConnectionSettings";
  HKEY key_ = nullptr;
  std::vector<BYTE> saved_;
  bool hadValue_ = false;
};

TEST(Win32System, ProxySetByHandWithItsBypassList) {
  const ScopedConnectionSettings settings(ScopedConnectionSettings::kProxy | ScopedConnectionSettings::kDirect,
                                          "http=web.example:3128;https=secure.example:3129", "<local>;*.corp.example");
  Win32System system;
  EXPECT_EQ(system.ProxyForUrl("https://download.example/setup.exe"), "http://secure.example:3129");
  EXPECT_EQ(system.ProxyForUrl("http://download.example/setup.exe"), "http://web.example:3128");
  EXPECT_EQ(system.ProxyForUrl("https://files.corp.example/"), "");
  EXPECT_EQ(system.ProxyForUrl("http://intranet/"), "");
}

TEST(Win32System, NoProxyAndNoAutomaticConfigurationIsDirect) {
  const ScopedConnectionSettings settings(ScopedConnectionSettings::kDirect, "", "");
  Win32System system;
  EXPECT_EQ(system.ProxyForUrl("https://download.example/setup.exe"), "");
}

}  // namespace
}  // namespace tarnel::platform::win32
