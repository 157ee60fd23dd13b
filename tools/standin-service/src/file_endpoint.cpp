#include "file_endpoint.h"

#include <cstdio>
#include <memory>
#include <string>

#include <httplib.h>

#include "byte_range.h"
#include "installer_store.h"
#include "page_assets.h"
#include "throttled_transfer.h"

namespace tarnel::standin {

FileEndpoint::FileEndpoint(const InstallerStore& store, FileServing serving, const std::atomic<bool>& stopping)
    : store_(store),
      serving_(std::move(serving)),
      stopping_(stopping),
      drops_left_(serving_.drop_after ? serving_.drop_count : 0) {}

std::string FileEndpoint::ETagOf(const InstallerFile& file) {
  char size[32];
  std::snprintf(size, sizeof size, "%llx", static_cast<unsigned long long>(file.size()));
  return "\"" + std::string(size) + "-" + file.version() + "\"";
}

bool FileEndpoint::TakeDrop(std::uint64_t body) const {
  if (!serving_.drop_after || body <= *serving_.drop_after) {
    return false;
  }
  std::uint64_t left = drops_left_.load();
  while (left > 0) {
    if (drops_left_.compare_exchange_weak(left, left - 1)) {
      return true;
    }
  }
  return false;
}

void FileEndpoint::Handle(const httplib::Request& request, httplib::Response& response) const {
  ++requests_;
  const std::string name = request.matches[1];
  std::unique_ptr<InstallerFile> file = store_.Open(name);
  if (!file) {
    response.status = 404;
    response.set_content("no such file\n", "text/plain");
    return;
  }
  const std::uint64_t size = file->size();
  const std::string etag = ETagOf(*file);
  // httplib cuts the body by request.ranges after this handler returns and
  // does not check them against the length. Replace them by the checked
  // answer: the request object is httplib's own mutable local, seen here const.
  auto& ranges = const_cast<httplib::Request&>(request).ranges;
  // A range is only for the version the client already has part of: with
  // any other validator (a date included, as no Last-Modified is sent) the
  // whole file comes back.
  if (request.has_header("If-Range") && request.get_header_value("If-Range") != etag) {
    ranges.clear();
  }
  const RangeAnswer answer = ResolveRange(ranges, size);
  ranges.clear();
  response.set_header("Accept-Ranges", "bytes");
  response.set_header("ETag", etag);
  if (const auto known = serving_.digests.find(name); known != serving_.digests.end() && known->second.etag == etag) {
    response.set_header("Repr-Digest", "sha-256=:" + ToBase64(known->second.digest) + ":");
  }
  if (answer.kind == RangeAnswer::Kind::kUnsatisfiable) {
    response.status = 416;
    response.set_header("Content-Range", "bytes */" + std::to_string(size));
    return;
  }
  std::uint64_t body = size;
  if (answer.kind == RangeAnswer::Kind::kPartial) {
    ranges.emplace_back(static_cast<ssize_t>(answer.first), static_cast<ssize_t>(answer.last));
    response.status = 206;
    body = answer.last - answer.first + 1;
  } else {
    response.status = 200;
  }
  const std::string type(ContentTypeForName(name));
  if (size == 0) {
    response.set_content("", type);
    return;
  }
  const std::optional<std::uint64_t> cut = TakeDrop(body) ? serving_.drop_after : std::nullopt;
  auto transfer =
      std::make_shared<ThrottledTransfer>(std::move(file), serving_.bytes_per_second, stopping_, cut, &body_bytes_);
  response.set_content_provider(static_cast<std::size_t>(size), type,
                                [transfer](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                  return transfer->Send(offset, length, sink);
                                });
}

}  // namespace tarnel::standin
