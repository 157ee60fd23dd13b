#include "file_endpoint.h"

#include <memory>
#include <string>

#include <httplib.h>

#include "byte_range.h"
#include "installer_store.h"
#include "page_assets.h"
#include "throttled_transfer.h"

namespace tarnel::standin {

FileEndpoint::FileEndpoint(const InstallerStore& store, std::uint64_t bytes_per_second,
                           const std::atomic<bool>& stopping)
    : store_(store), rate_(bytes_per_second), stopping_(stopping) {}

void FileEndpoint::Handle(const httplib::Request& request, httplib::Response& response) const {
  const std::string name = request.matches[1];
  std::unique_ptr<InstallerFile> file = store_.Open(name);
  if (!file) {
    response.status = 404;
    response.set_content("no such file\n", "text/plain");
    return;
  }
  const std::uint64_t size = file->size();
  // httplib cuts the body by request.ranges after this handler returns and
  // does not check them against the length. Replace them by the checked
  // answer: the request object is httplib's own mutable local, seen here const.
  auto& ranges = const_cast<httplib::Request&>(request).ranges;
  const RangeAnswer answer = ResolveRange(ranges, size);
  ranges.clear();
  response.set_header("Accept-Ranges", "bytes");
  if (answer.kind == RangeAnswer::Kind::kUnsatisfiable) {
    response.status = 416;
    response.set_header("Content-Range", "bytes */" + std::to_string(size));
    return;
  }
  if (answer.kind == RangeAnswer::Kind::kPartial) {
    ranges.emplace_back(static_cast<ssize_t>(answer.first), static_cast<ssize_t>(answer.last));
    response.status = 206;
  } else {
    response.status = 200;
  }
  const std::string type(ContentTypeForName(name));
  if (size == 0) {
    response.set_content("", type);
    return;
  }
  auto transfer = std::make_shared<ThrottledTransfer>(std::move(file), rate_, stopping_);
  response.set_content_provider(static_cast<std::size_t>(size), type,
                                [transfer](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                  return transfer->Send(offset, length, sink);
                                });
}

}  // namespace tarnel::standin
