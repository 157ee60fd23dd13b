#pragma once
// The part file a download writes into, and the file system steps around it.
//
// The part file is always one that this process created: it is made without
// following a link and without reusing an existing file, and a kept part is
// reopened only when it is still that same regular file. Writes report the
// system's error so the job can tell a full disk from other failures.
// One PartFile is used by one thread at a time.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarnel::download {

// Which file a path named when we wrote it: device and inode (volume serial
// and file index on Windows), size and modification time.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};

enum class FileError { kNone, kDiskFull, kExists, kOther };

class PartFile {
 public:
  PartFile() = default;
  ~PartFile();
  PartFile(PartFile&& other) noexcept;
  PartFile& operator=(PartFile&& other) noexcept;
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  // A new, empty file at `path`; kExists when anything (a link included)
  // already has that name.
  static FileError CreateNew(const std::string& path, PartFile& file);
  // The file at `path` when it is still the regular file `expected` names
  // (device and inode; not a link), positioned at its end.
  static FileError Reopen(const std::string& path, const FileIdentity& expected, PartFile& file);

  bool IsOpen() const;
  FileError Write(const char* data, std::size_t size);
  // Back to empty, for an answer that starts the file over.
  FileError Truncate();
  // Reads the file from its start in blocks (for hashing a kept part).
  FileError ReadAll(const std::function<void(const char*, std::size_t)>& block);
  std::uint64_t Size() const { return size_; }
  // Data on disk before the file gets its name.
  FileError Sync();
  std::optional<FileIdentity> Identity() const;
  // Records where the file came from, as browsers do; a file system without
  // extended attributes is not an error.
  void RecordOrigin(const std::string& url);
  void Close();

 private:
  int Descriptor() const;
  // A descriptor on POSIX systems, a HANDLE on Windows; -1 when closed.
  std::intptr_t handle_ = -1;
  std::string path_;  // where it was opened, for the Windows zone stream
  std::uint64_t size_ = 0;
};

// Gives `partPath` the name `target`. With `replace` false an existing file
// is never replaced: kExists instead. The folder is synced afterwards, so the
// name survives a power cut.
FileError CommitPart(const std::string& partPath, const std::string& target, bool replace);

// Removes `path` when it is still the file `identity` names (no link is followed).
void RemoveIfSame(const std::string& path, const FileIdentity& identity);
// Removes `path` (a link itself, never its target).
void RemovePath(const std::string& path);

// Before a finished download is run: `path` must still be the regular file
// the job wrote (same device, inode, size and modification time, and the
// same SHA-256 when one is given), checked without following a link; then it
// is made executable for its owner through the open file. False otherwise.
bool MakeRunnableIfUnchanged(const std::string& path, const FileIdentity& identity,
                             const std::optional<std::array<std::uint8_t, 32>>& sha256);

// Bytes free for an unprivileged writer in the folder of `path`; nothing
// when unknown.
std::optional<std::uint64_t> FreeSpaceFor(const std::string& path);

}  // namespace tarnel::download
