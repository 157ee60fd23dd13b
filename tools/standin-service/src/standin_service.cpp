#include "standin_service.h"

#include <chrono>
#include <system_error>

#include <httplib.h>

#include "bridge/protocol.h"
#include "catalog.h"
#include "event_log.h"
#include "file_endpoint.h"
#include "http_helpers.h"
#include "info_endpoint.h"
#include "installer_store.h"
#include "log_endpoint.h"
#include "page_endpoint.h"
#include "request_log.h"

namespace tarnel::standin {
namespace {

const std::string kInfoPath(protocol::kInfoPath);
const std::string kLogPath(protocol::kLogPath);
// Log forms are three short fields; anything much larger is not an event.
constexpr std::size_t kMaxRequestBody = 64 * 1024;
// Hashing 1 GiB takes a few seconds at start; larger demo installers go without.
constexpr std::uint64_t kLargestBuiltInDigest = 1ULL << 30;

}  // namespace

StandinService::StandinService(ServiceOptions options) : options_(std::move(options)) {}

StandinService::~StandinService() { Stop(); }

void StandinService::LoadData() {
  try {
    catalog_ = std::make_unique<Catalog>(options_.catalog_file.empty() ? Catalog::BuiltIn()
                                                                       : Catalog::LoadFile(options_.catalog_file));
  } catch (const CatalogError& error) {
    throw StartError(error.what());
  }
  std::error_code error;
  if (!options_.files_dir.empty() && !std::filesystem::is_directory(options_.files_dir, error)) {
    throw StartError("files folder " + options_.files_dir.string() + " is not a folder");
  }
  store_ = std::make_unique<InstallerStore>(options_.files_dir, options_.demo_size);
  for (std::size_t i = 0; i < catalog_->packages().size(); ++i) {
    const Package& package = catalog_->packages()[i];
    if (IsAbsoluteHttpUrl(package.installer)) {
      continue;
    }
    std::unique_ptr<InstallerFile> file = store_->Open(package.installer);
    if (!file) {
      throw StartError("package " + std::to_string(package.id) + ": installer \"" + package.installer +
                       "\" is neither the demo installer nor a file in the files folder");
    }
    // The built-in package skips the checksum for demo installers too large
    // to hash in a moment; a catalogue's "auto" always gets one.
    const bool too_large = options_.catalog_file.empty() && file->size() > kLargestBuiltInDigest;
    if (!package.sha256_from_file || too_large) {
      continue;
    }
    if (const auto known = digests_.find(package.installer); known != digests_.end()) {
      catalog_->SetSha256(i, ToHex(known->second.digest));
      continue;
    }
    try {
      const KnownDigest known{FileEndpoint::ETagOf(*file), DigestOf(*file)};
      catalog_->SetSha256(i, ToHex(known.digest));
      digests_[package.installer] = known;
    } catch (const std::runtime_error& failure) {
      throw StartError("package " + std::to_string(package.id) + ": " + failure.what());
    }
  }
  try {
    log_ = std::make_unique<EventLog>(options_.event_output, options_.log_file);
    if (!options_.request_log.empty()) {
      requests_ = std::make_unique<RequestLog>(options_.request_log);
    }
  } catch (const std::runtime_error& failure) {
    throw StartError(failure.what());
  }
}

int StandinService::Start() {
  if (server_) {
    throw StartError("the service was already started");
  }
  LoadData();
  server_ = std::make_unique<httplib::Server>();
  if (options_.port == 0) {
    port_ = server_->bind_to_any_port(options_.bind_address);
  } else {
    port_ = server_->bind_to_port(options_.bind_address, options_.port) ? options_.port : -1;
  }
  if (port_ <= 0) {
    throw StartError("cannot listen on " + options_.bind_address + " port " + std::to_string(options_.port));
  }
  base_url_ = ListenBaseUrl(options_.bind_address, port_);
  info_ = std::make_unique<InfoEndpoint>(*catalog_, base_url_);
  pages_ = std::make_unique<PageEndpoint>(*catalog_, base_url_);
  log_endpoint_ = std::make_unique<LogEndpoint>(*log_);
  FileServing serving;
  serving.bytes_per_second = options_.rate;
  serving.drop_after = options_.drop_after;
  serving.drop_count = options_.drop_count;
  serving.digests = digests_;
  files_ = std::make_unique<FileEndpoint>(*store_, std::move(serving), stopping_);
  Route();

  thread_ = std::thread([server = server_.get()] { server->listen_after_bind(); });
  // The socket already accepts connections into its backlog; wait until the
  // accept loop runs so that an early Stop reaches it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return port_;
}

void StandinService::Route() {
  httplib::Server& server = *server_;
  server.set_payload_max_length(kMaxRequestBody);
  if (requests_) {
    // Runs before any handler, so the line is written before the answer goes out.
    server.set_pre_routing_handler([this](const httplib::Request& q, httplib::Response&) {
      requests_->Record(q.method, q.target);
      return httplib::Server::HandlerResponse::Unhandled;
    });
  }
  server.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
    SetJsonAnswer(response, 500, {{"code", 500}});
  });
  server.Get(kInfoPath, [this](const httplib::Request& q, httplib::Response& r) { info_->Handle(q, r); });
  server.Post(kLogPath, [this](const httplib::Request& q, httplib::Response& r, const httplib::ContentReader& c) {
    log_endpoint_->HandlePost(q, r, c);
  });
  const auto other_method = [this](const httplib::Request& q, httplib::Response& r) {
    log_endpoint_->HandleOtherMethod(q, r);
  };
  server.Get(kLogPath, other_method);
  server.Put(kLogPath, other_method);
  server.Delete(kLogPath, other_method);
  server.Get(R"(/pages/(\d+)(/.*)?)",
             [this](const httplib::Request& q, httplib::Response& r) { pages_->HandlePage(q, r); });
  server.Get("/files/([^/]+)", [this](const httplib::Request& q, httplib::Response& r) { files_->Handle(q, r); });
  server.Get("/", [this](const httplib::Request& q, httplib::Response& r) { pages_->HandleIndex(q, r); });
}

void StandinService::Stop() {
  stopping_ = true;
  if (server_) {
    server_->stop();
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

StandinService::FileStats StandinService::FileTraffic() const {
  return files_ ? FileStats{files_->requests(), files_->body_bytes()} : FileStats{};
}

std::vector<nlohmann::json> StandinService::RecordedEvents() const {
  return log_ ? log_->Records() : std::vector<nlohmann::json>{};
}

}  // namespace tarnel::standin
