#include "pattern_server.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "pattern_block.h"

namespace tarnel::bench {

namespace {
void ServePattern(const httplib::Request& request, httplib::Response& response) {
  std::uint64_t size = 0;
  try {
    size = std::stoull(request.matches[1].str());
  } catch (const std::exception&) {
    response.status = 400;
    return;
  }
  // Each answer owns one block; the provider runs on the connection's thread.
  auto block = std::make_shared<PatternBlock>();
  response.set_content_provider(
      static_cast<std::size_t>(size), "application/octet-stream",
      [block](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        const std::uint64_t index = offset / kPatternBlockSize;
        const std::size_t within = offset % kPatternBlockSize;
        const std::size_t count = std::min(length, kPatternBlockSize - within);
        return sink.write(block->Block(index) + within, count);
      });
}
}  // namespace

PatternServer::PatternServer() {
  server_.Get(R"(/pattern/(\d+)\.bin)", ServePattern);
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return;
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  // The socket already listens; wait until the accept loop runs too.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!server_.is_running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

PatternServer::~PatternServer() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

std::string PatternServer::UrlFor(std::uint64_t size) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/pattern/" + std::to_string(size) + ".bin";
}

}  // namespace tarnel::bench
