// libFuzzer target: any bytes as the contents of config.ini go through
// ReadConfig. Besides crashes and sanitizer reports it checks what the reader
// and the profile writer promise: a number id makes the info address, values
// come back cut to 259 UTF-16 units, the file is left alone when it has an
// identifier, and a written identifier reads back with only that one line
// changed and no temporary file left beside it; the file is rewritten unless
// the identifier would take it past the size bound.
//
// The file lives in a private folder made once per process under $TMPDIR (or
// /tmp) and is removed after every input; the folder goes at exit.
#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/profile_storage.h"
#include "service/config.h"

namespace {

// A fixed identifier keeps every run of an input the same.
constexpr const char* kGeneratedUuid = "7EA0C0803000000F0uzzFuzzFuzzFuzz";
constexpr const char* kInfoBase = "http://127.0.0.1:9/info";
constexpr size_t kMaxValueUnits = 259;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "config_ini_fuzzer: broken promise: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

class Folder {
 public:
  Folder() {
    const char* base = std::getenv("TMPDIR");
    path_ = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tarnel-config-fuzz.XXXXXX";
    if (mkdtemp(path_.data()) == nullptr) {
      std::perror("config_ini_fuzzer: mkdtemp");
      std::abort();
    }
    file_ = path_ + "/config.ini";
  }
  ~Folder() {
    unlink(file_.c_str());
    rmdir(path_.c_str());
  }
  const std::string& file() const { return file_; }

  // Names in the folder other than "." and "..".
  int EntryCount() const {
    DIR* dir = opendir(path_.c_str());
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") ++count;
    }
    closedir(dir);
    return count;
  }

 private:
  std::string path_;
  std::string file_;
};

Folder& TheFolder() {
  // Destroyed at exit, which is how libFuzzer ends a timed run.
  static Folder folder;
  return folder;
}

void WriteFile(const std::string& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) {
    std::perror("config_ini_fuzzer: writing the input");
    std::abort();
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// UTF-16 units of text as the profile reader counts them: a well-formed
// 4-byte sequence counts 2, every other character or stray byte 1.
size_t Utf16Units(std::string_view text) {
  size_t units = 0;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
    }
    bool whole = i + length <= text.size();
    for (size_t j = 1; whole && j < length; ++j) whole = (static_cast<unsigned char>(text[i + j]) & 0xC0) == 0x80;
    if (!whole) length = 1;
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}

// The bytes of `before` that `after` no longer has lie within one line: the
// writer changed one line's text or added lines, nothing else.
bool ChangedWithinOneLine(std::string_view before, std::string_view after) {
  size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::string_view removed = before.substr(prefix, before.size() - prefix - suffix);
  return removed.find('\n') == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace service = tarnel::service;
  namespace platform = tarnel::platform;
  const Folder& folder = TheFolder();
  const std::string& file = folder.file();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  WriteFile(file, input);

  const service::ConfigValues values = service::ReadConfig(file, kInfoBase, [] { return std::string(kGeneratedUuid); });

  if (values.downloaderId != 0) {
    Check(values.infoUrl == service::FormatInfoUrl(kInfoBase, values.downloaderId), "info address of the id");
  }
  Check(values.downloaderId != 0 || Utf16Units(values.infoUrl) <= kMaxValueUnits, "api_url cut to 259 units");
  Check(!values.uuid.empty(), "an identifier");
  Check(Utf16Units(values.uuid) <= kMaxValueUnits, "uuid cut to 259 units");
  Check(!values.uuidGenerated || values.uuid == kGeneratedUuid, "the generator's identifier");

  const std::string after = ReadFile(file);
  if (!values.uuidGenerated) {
    Check(after == input, "a file with an identifier is left alone");
  } else if (size > platform::profile_storage::kMaxFileBytes) {
    Check(after == input, "an oversized file is left alone");
  } else if (after == input) {
    // Refused only when the identifier's line would take the file past the
    // bound: a section header, the line and line ends add at most this much.
    constexpr size_t kMostAdded = sizeof "\r\n[user]\r\nuuid=\r\n" - 1 + 32;
    Check(size + kMostAdded > platform::profile_storage::kMaxFileBytes, "identifier written when it fits");
  } else {
    // The identifier was written: it reads back, the other values stay, and
    // only the identifier's line changed.
    const service::ConfigValues again = service::ReadConfig(file, kInfoBase, [] { return std::string("unused"); });
    Check(!again.uuidGenerated && again.uuid == kGeneratedUuid, "written identifier reads back");
    Check(again.downloaderId == values.downloaderId, "downloader id unchanged by the write");
    Check(again.infoUrl == values.infoUrl, "api_url unchanged by the write");
    Check(after != input, "file rewritten");
    Check(ChangedWithinOneLine(input, after), "only the identifier's line changed");
  }

  Check(unlink(file.c_str()) == 0, "config.ini removable");
  Check(folder.EntryCount() == 0, "no temporary file left beside config.ini");
  return 0;
}
