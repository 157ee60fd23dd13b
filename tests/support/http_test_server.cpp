#include "support/http_test_server.h"

#include <stdexcept>
#include <utility>

namespace tarnel::test {

HttpTestServer::HttpTestServer() : HttpTestServer(std::make_unique<httplib::Server>(), "http") {}

HttpTestServer::HttpTestServer(std::unique_ptr<httplib::Server> server, std::string scheme)
    : server_(std::move(server)), scheme_(std::move(scheme)) {
  // Connections are closed soon after the last request, so stopping is quick.
  server_->set_keep_alive_timeout(1);
}

HttpTestServer::~HttpTestServer() {
  Release();
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

void HttpTestServer::Record(const httplib::Request& request, std::vector<httplib::MultipartFormData> parts) {
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(
        {request.method, request.path, request.target, request.headers, request.body, std::move(parts), request.files});
  }
  changed_.notify_all();
}

void HttpTestServer::Get(const std::string& pattern, httplib::Server::Handler handler) {
  server_->Get(pattern, [this, handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
    Record(req, {});
    handler(req, res);
  });
}

void HttpTestServer::Post(const std::string& pattern, httplib::Server::Handler handler) {
  // The body is read here rather than by httplib, so that the order of a
  // form's parts (lost in the map httplib would fill) can be kept.
  httplib::Server::HandlerWithContentReader reading = [this, handler = std::move(handler)](
                                                          const httplib::Request& req, httplib::Response& res,
                                                          const httplib::ContentReader& reader) {
    httplib::Request full = req;
    std::vector<httplib::MultipartFormData> parts;
    if (req.is_multipart_form_data()) {
      reader(
          [&](const httplib::MultipartFormData& header) {
            parts.push_back(header);
            return true;
          },
          [&](const char* data, size_t length) {
            parts.back().content.append(data, length);
            return true;
          });
      for (const auto& part : parts) full.files.emplace(part.name, part);
    } else {
      reader([&](const char* data, size_t length) {
        full.body.append(data, length);
        return true;
      });
    }
    Record(full, std::move(parts));
    handler(full, res);
  };
  server_->Post(pattern, std::move(reading));
}

void HttpTestServer::Start() {
  if (!server_->is_valid()) throw std::runtime_error("test server is not valid");
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("test server cannot bind to 127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // The socket already accepts connections once bound; wait until the loop runs
  // so that stop() in the destructor cannot come before it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!server_->is_running()) {
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("test server did not start");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::string HttpTestServer::Url(const std::string& pathAndQuery) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

std::vector<RecordedRequest> HttpTestServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t HttpTestServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

bool HttpTestServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void HttpTestServer::Hold() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return released_; });
}

void HttpTestServer::Release() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

}  // namespace tarnel::test
