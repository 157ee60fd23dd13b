#pragma once
// Writes a download into its part file in large blocks and, when asked,
// computes the file's SHA-256 on a thread of its own while the next block
// arrives, so hashing does not slow the transfer down.
//
// Threads: every member is called on the download worker; the hashing thread
// is private. Blocks go to the hasher only after they are on disk, and come
// back for reuse when hashed; at most kBlocks are in use, so memory stays
// bounded whatever the file's size.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "download/part_file.h"
#include "download/sha256.h"

namespace tarnel::download {

class HashingWriter {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
  static constexpr std::size_t kBlocks = 4;

  explicit HashingWriter(PartFile& file);
  ~HashingWriter();
  HashingWriter(const HashingWriter&) = delete;
  HashingWriter& operator=(const HashingWriter&) = delete;

  // From now on the whole file is hashed: what is on disk already first.
  FileError EnableHashing();

  FileError Append(const char* data, std::size_t size);
  // Puts every buffered byte on disk.
  FileError Flush();
  // Drops everything: the buffer, the file's content and the hash so far.
  FileError Truncate();
  // Bytes of the file, buffered ones included.
  std::uint64_t Size() const { return file_.Size() + (current_ ? current_->size() : 0); }
  // Flushes and waits for the hasher; the digest of the whole file. Nothing
  // when hashing was not enabled.
  std::optional<Sha256Digest> Digest();

 private:
  using Block = std::vector<char>;
  struct Hasher;

  std::unique_ptr<Block> TakeFreeBlock();
  void HashBlock(std::unique_ptr<Block> block);

  PartFile& file_;
  std::unique_ptr<Block> current_;
  std::vector<std::unique_ptr<Block>> spare_;  // used without hashing
  std::unique_ptr<Hasher> hasher_;
};

}  // namespace tarnel::download
