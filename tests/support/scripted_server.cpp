#include "support/scripted_server.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

namespace tarnel::test {
namespace {

// The few socket calls that differ between Winsock and POSIX.
#ifdef _WIN32
using Socket = SOCKET;
constexpr int kNoSignal = 0;
Socket OpenListener() { return socket(AF_INET, SOCK_STREAM, 0); }
Socket AcceptClient(Socket listener) { return accept(listener, nullptr, nullptr); }
int PollOne(Socket fd, int timeoutMs) {
  WSAPOLLFD one{fd, POLLIN, 0};
  return WSAPoll(&one, 1, timeoutMs);
}
void CloseSocket(Socket fd) { closesocket(fd); }
constexpr int kShutBoth = SD_BOTH;
#else
using Socket = int;
constexpr int kNoSignal = MSG_NOSIGNAL;
Socket OpenListener() { return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
Socket AcceptClient(Socket listener) { return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }
int PollOne(Socket fd, int timeoutMs) {
  pollfd one{fd, POLLIN, 0};
  return poll(&one, 1, timeoutMs);
}
void CloseSocket(Socket fd) { close(fd); }
constexpr int kShutBoth = SHUT_RDWR;
#endif

Socket AsSocket(std::intptr_t fd) { return static_cast<Socket>(fd); }

bool SendAll(Socket fd, const char* data, std::size_t size) {
  while (size > 0) {
    const int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    const auto n = send(fd, data, chunk, kNoSignal);
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
#ifdef _WIN32
  WSADATA data{};
  WSAStartup(MAKEWORD(2, 2), &data);
#endif
  const Socket listener = OpenListener();
  listener_ = static_cast<std::intptr_t>(listener);
  const int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 16) != 0) {
    throw std::runtime_error("scripted server: cannot listen");
  }
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
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
  shutdown(AsSocket(listener_), kShutBoth);
  thread_.join();
  CloseSocket(AsSocket(listener_));
#ifdef _WIN32
  WSACleanup();
#endif
}

std::vector<ScriptedRequest> ScriptedServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::Run() {
  while (!stopping_) {
    if (PollOne(AsSocket(listener_), 50) <= 0) continue;
    const Socket client = AcceptClient(AsSocket(listener_));
    if (client == static_cast<Socket>(-1)) continue;
    Serve(static_cast<std::intptr_t>(client));
    CloseSocket(client);
  }
}

void ScriptedServer::Serve(std::intptr_t fd) {
  const Socket client = AsSocket(fd);
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (PollOne(client, 2000) <= 0) return;
    const auto n = recv(client, buffer, sizeof buffer, 0);
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
