#include "download/hashing_writer.h"

#include <cstring>

namespace tarnel::download {

// The hashing thread and the blocks it shares with the writer.
struct HashingWriter::Hasher {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::unique_ptr<Block>> pending;  // on disk, to be hashed, in file order
  std::vector<std::unique_ptr<Block>> free;    // hashed, ready for reuse
  std::size_t blocks = 0;                      // made so far, at most kBlocks
  bool busy = false;                           // a block is being hashed
  bool stopping = false;
  Sha256 sha;
  std::thread thread;

  void Run() {
    std::unique_lock lock(mutex);
    while (true) {
      changed.wait(lock, [this] { return stopping || !pending.empty(); });
      if (pending.empty()) return;
      std::unique_ptr<Block> block = std::move(pending.front());
      pending.pop_front();
      busy = true;
      lock.unlock();
      sha.Update(block->data(), block->size());
      lock.lock();
      busy = false;
      block->clear();
      free.push_back(std::move(block));
      changed.notify_all();
    }
  }

  // Writer side: waits until every handed-over block is hashed.
  void Drain() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return pending.empty() && !busy; });
  }
};

HashingWriter::HashingWriter(PartFile& file) : file_(file) {}

HashingWriter::~HashingWriter() {
  if (hasher_) {
    {
      std::lock_guard lock(hasher_->mutex);
      hasher_->stopping = true;
      hasher_->pending.clear();
    }
    hasher_->changed.notify_all();
    hasher_->thread.join();
  }
}

FileError HashingWriter::EnableHashing() {
  if (hasher_) return FileError::kNone;
  if (const FileError error = Flush(); error != FileError::kNone) return error;
  auto hasher = std::make_unique<Hasher>();
  // What an earlier attempt or run left is part of the file too.
  if (const FileError error =
          file_.ReadAll([&](const char* data, std::size_t size) { hasher->sha.Update(data, size); });
      error != FileError::kNone) {
    return error;
  }
  hasher->thread = std::thread([raw = hasher.get()] { raw->Run(); });
  hasher_ = std::move(hasher);
  return FileError::kNone;
}

std::unique_ptr<HashingWriter::Block> HashingWriter::TakeFreeBlock() {
  std::unique_ptr<Block> block;
  if (hasher_) {
    std::unique_lock lock(hasher_->mutex);
    if (hasher_->free.empty() && hasher_->blocks >= kBlocks) {
      hasher_->changed.wait(lock, [this] { return !hasher_->free.empty(); });
    }
    if (!hasher_->free.empty()) {
      block = std::move(hasher_->free.back());
      hasher_->free.pop_back();
    } else {
      ++hasher_->blocks;
    }
  } else if (!spare_.empty()) {
    block = std::move(spare_.back());
    spare_.pop_back();
  }
  if (!block) {
    block = std::make_unique<Block>();
    block->reserve(kBlockSize);
  }
  return block;
}

FileError HashingWriter::Append(const char* data, std::size_t size) {
  while (size > 0) {
    if (!current_) current_ = TakeFreeBlock();
    const std::size_t room = kBlockSize - current_->size();
    const std::size_t n = size < room ? size : room;
    current_->insert(current_->end(), data, data + n);
    data += n;
    size -= n;
    if (current_->size() == kBlockSize) {
      if (const FileError error = Flush(); error != FileError::kNone) return error;
    }
  }
  return FileError::kNone;
}

FileError HashingWriter::Flush() {
  if (!current_ || current_->empty()) return FileError::kNone;
  std::unique_ptr<Block> block = std::move(current_);
  const FileError error = file_.Write(block->data(), block->size());
  if (error != FileError::kNone) {
    block->clear();
    spare_.push_back(std::move(block));
    return error;
  }
  HashBlock(std::move(block));
  return FileError::kNone;
}

void HashingWriter::HashBlock(std::unique_ptr<Block> block) {
  if (!hasher_) {
    block->clear();
    spare_.push_back(std::move(block));
    return;
  }
  {
    std::lock_guard lock(hasher_->mutex);
    hasher_->pending.push_back(std::move(block));
  }
  hasher_->changed.notify_all();
}

FileError HashingWriter::Truncate() {
  if (current_) current_->clear();
  if (hasher_) {
    hasher_->Drain();
    hasher_->sha.Reset();
  }
  return file_.Truncate();
}

std::optional<Sha256Digest> HashingWriter::Digest() {
  if (!hasher_) return std::nullopt;
  if (Flush() != FileError::kNone) return std::nullopt;
  hasher_->Drain();
  return hasher_->sha.Final();
}

}  // namespace tarnel::download
