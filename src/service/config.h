#pragma once
// The configuration file config.ini beside the executable: which package this
// build serves, where its info request goes, and the client identifier, which
// is generated and written back on first run.
//
// Everything here runs on the main thread during window initialisation; the C
// library's random generator has no other user.
#include <cstdint>
#include <functional>
#include <string>

namespace tarnel::service {

// A calendar time with the fields of the Windows SYSTEMTIME record.
struct SystemTime {
  uint16_t year;
  uint16_t month;
  uint16_t dayOfWeek;  // 0 = Sunday
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};

// The current time of the real clock in UTC, to the millisecond.
SystemTime CurrentUtcTime();

// Uppercase hexadecimal: the year with as many digits as it needs, then month,
// day, hour, minute and second with 2 digits each and the milliseconds with 3,
// zero-filled. 2026-12-08 03:42:22.123 gives "7EA0C08032A1607B". The day of the
// week is not used.
std::string MakeTimeStamp(const SystemTime& t);
// The time stamp of CurrentUtcTime().
std::string MakeTimeStamp();

// count characters drawn with rand() from the 10 digits and 52 ASCII letters.
// The generator is seeded once per process with the current time in seconds.
std::string RandomAlnumString(size_t count);

// A client identifier of 32 characters: the time stamp of now followed by
// random characters (16 of them for years 256 to 4095).
std::string GenerateUuid(const SystemTime& now);
std::string GenerateUuid();

// The path of config.ini in the folder of the executable: everything up to and
// including the last '/', or no folder at all when the path has no '/'.
std::string ConfigFileBeside(const std::string& executablePath);

// The info request address for a downloader id: infoBase + "?id=" + the id in
// unsigned decimal digits.
std::string FormatInfoUrl(const std::string& infoBase, unsigned downloaderId);

// The download service's addresses in this build; both share its API host.
std::string InfoBaseUrl();
std::string LogUrl();

// What the configuration file yields.
struct ConfigValues {
  unsigned downloaderId = 0;   // "root"/"downloader_id", 0 when missing or not a number
  std::string infoUrl;         // the info request address; empty when there is none
  std::string uuid;            // the client identifier
  bool uuidGenerated = false;  // the file held no identifier, so a new one was made
};

// Reads the configuration file: the downloader id decides the info address
// (the id formatted onto infoBase; only when the id is 0 is "root"/"api_url"
// read, and then used unchanged). When "user"/"uuid" is missing or empty,
// generateUuid() (GenerateUuid() when it is empty) makes one and it is written
// to the file; should that write fail, the identifier is still returned and
// lives for this run only.
ConfigValues ReadConfig(const std::string& configFile, const std::string& infoBase,
                        const std::function<std::string()>& generateUuid);

}  // namespace tarnel::service
