#include "service/config.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <mutex>
#include <sstream>
#include <string_view>

#include "bridge/protocol.h"
#include "platform/profile_file.h"
#include "service/build_config.h"

namespace tarnel::service {
namespace {

constexpr size_t kUuidLength = 32;
constexpr std::string_view kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace

std::string InfoBaseUrl() { return std::string(kApiBase).append(protocol::kInfoPath); }
std::string LogUrl() { return std::string(kApiBase).append(protocol::kLogPath); }

SystemTime CurrentUtcTime() {
  using namespace std::chrono;
  const auto now = time_point_cast<milliseconds>(system_clock::now());
  const auto day = floor<days>(now);
  const year_month_day date(day);
  const hh_mm_ss time(now - day);
  SystemTime t{};
  t.year = static_cast<uint16_t>(static_cast<int>(date.year()));
  t.month = static_cast<uint16_t>(static_cast<unsigned>(date.month()));
  t.dayOfWeek = static_cast<uint16_t>(weekday(day).c_encoding());
  t.day = static_cast<uint16_t>(static_cast<unsigned>(date.day()));
  t.hour = static_cast<uint16_t>(time.hours().count());
  t.minute = static_cast<uint16_t>(time.minutes().count());
  t.second = static_cast<uint16_t>(time.seconds().count());
  t.milliseconds = static_cast<uint16_t>(time.subseconds().count());
  return t;
}

std::string MakeTimeStamp(const SystemTime& t) {
  std::ostringstream out;
  out << std::uppercase << std::hex << std::setfill('0') << t.year << std::setw(2) << t.month << std::setw(2) << t.day
      << std::setw(2) << t.hour << std::setw(2) << t.minute << std::setw(2) << t.second << std::setw(3)
      << t.milliseconds;
  return out.str();
}

std::string MakeTimeStamp() { return MakeTimeStamp(CurrentUtcTime()); }

std::string RandomAlnumString(size_t count) {
  static std::once_flag seeded;
  std::call_once(seeded, [] { std::srand(static_cast<unsigned>(std::time(nullptr))); });
  std::string text;
  text.reserve(count);
  for (size_t i = 0; i < count; ++i) text += kAlphabet[static_cast<size_t>(std::rand()) % kAlphabet.size()];
  return text;
}

std::string GenerateUuid(const SystemTime& now) {
  std::string uuid = MakeTimeStamp(now);
  uuid += RandomAlnumString(kUuidLength - std::min(uuid.size(), kUuidLength));
  uuid.resize(kUuidLength);
  return uuid;
}

std::string GenerateUuid() { return GenerateUuid(CurrentUtcTime()); }

std::string ConfigFileBeside(const std::string& executablePath) {
#ifdef _WIN32
  // Windows paths separate folders with either slash.
  size_t slash = executablePath.find_last_of("\\/");
#else
  size_t slash = executablePath.rfind('/');
#endif
  std::string folder = slash == std::string::npos ? std::string() : executablePath.substr(0, slash + 1);
  return folder + "config.ini";
}

std::string FormatInfoUrl(const std::string& infoBase, unsigned downloaderId) {
  // The id is an unsigned number in the file and in every event report, so it
  // goes out as unsigned digits here too, also above INT_MAX.
  return infoBase + "?id=" + std::to_string(downloaderId);
}

ConfigValues ReadConfig(const std::string& configFile, const std::string& infoBase,
                        const std::function<std::string()>& generateUuid) {
  ConfigValues values;
  values.downloaderId = platform::GetPrivateProfileInt("root", "downloader_id", 0, configFile);
  if (values.downloaderId != 0) {
    values.infoUrl = FormatInfoUrl(infoBase, values.downloaderId);
  } else {
    values.infoUrl = platform::GetPrivateProfileString("root", "api_url", "", configFile);
  }
  values.uuid = platform::GetPrivateProfileString("user", "uuid", "", configFile);
  if (values.uuid.empty()) {
    values.uuid = generateUuid ? generateUuid() : GenerateUuid();
    values.uuidGenerated = true;
    // A folder without write access keeps the identifier in memory for this run only.
    platform::WritePrivateProfileString("user", "uuid", values.uuid, configFile);
  }
  return values;
}

}  // namespace tarnel::service
