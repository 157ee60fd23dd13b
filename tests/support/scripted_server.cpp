#include "support/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

namespace tarnel::test {
namespace {

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 302: return "Found";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

}  // namespace

ScriptedServer::ScriptedServer(Handler handler) : handler_(std::move(handler)) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int yes = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 16) != 0) {
    throw std::runtime_error("scripted server: cannot listen");
  }
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
  {
    // Under the lock, so a stalled answer cannot miss the wake-up between its check and its wait.
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  shutdown(listener_, SHUT_RDWR);
  thread_.join();
  close(listener_);
}

std::vector<ScriptedRequest> ScriptedServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::Run() {
  while (!stopping_) {
    pollfd fds{listener_, POLLIN, 0};
    if (poll(&fds, 1, 50) <= 0) continue;
    const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Serve(client);
    close(client);
  }
}

void ScriptedServer::Serve(int client) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd fds{client, POLLIN, 0};
    if (poll(&fds, 1, 2000) <= 0) return;
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    head.append(buffer, static_cast<std::size_t>(n));
  }
  ScriptedRequest request;
  std::istringstream lines(head.substr(0, head.find("\r\n\r\n")));
  std::string line;
  std::getline(lines, line);
  std::istringstream first(line);
  first >> request.method >> request.target;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    request.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
  }
  int index = 0;
  {
    std::lock_guard lock(mutex_);
    index = static_cast<int>(requests_.size());
    requests_.push_back(request);
  }
  const ScriptedResponse response = handler_(request, index);
  std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) + "\r\n";
  for (const auto& [name, value] : response.headers) out += name + ": " + value + "\r\n";
  if (!response.unannounced) {
    out += "Content-Length: " + std::to_string(response.contentLength.value_or(response.body.size())) + "\r\n";
  }
  out += "Connection: close\r\n\r\n";
  if (!SendAll(client, out.data(), out.size())) return;
  const std::size_t bodyBytes = std::min(response.body.size(), response.dropAfter.value_or(response.body.size()));
  if (request.method != "HEAD" && SendAll(client, response.body.data(), bodyBytes)) sent_ += bodyBytes;
  if (response.stall) {
    std::unique_lock lock(mutex_);
    stopped_.wait(lock, [this] { return stopping_.load(); });
  }
}

}  // namespace tarnel::test
