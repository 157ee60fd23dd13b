#include "pattern_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <optional>
#include <string_view>

#include "pattern_block.h"

namespace tarnel::bench {

namespace {

constexpr std::size_t kMaxRequestHead = 64 * 1024;

struct Target {
  std::uint64_t size = 0;
  std::uint64_t every = 0;  // 0: never drops
};

// Reads a decimal number at the front of `text` and removes it.
std::optional<std::uint64_t> TakeNumber(std::string_view& text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end == text.data()) return std::nullopt;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return value;
}

bool TakePrefix(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

std::optional<Target> ParseTarget(std::string_view path) {
  Target target;
  if (TakePrefix(path, "/drop/")) {
    const auto every = TakeNumber(path);
    if (!every || *every == 0 || !TakePrefix(path, "/")) return std::nullopt;
    target.every = *every;
  } else if (!TakePrefix(path, "/pattern/")) {
    return std::nullopt;
  }
  const auto size = TakeNumber(path);
  if (!size || path != ".bin") return std::nullopt;
  target.size = *size;
  return target;
}

// "bytes=first-" or "bytes=first-last"; nothing for anything else (a
// suffix range or a list), which is then ignored as the Range header allows.
struct ByteRange {
  std::uint64_t first = 0;
  std::optional<std::uint64_t> last;
};
std::optional<ByteRange> ParseRange(std::string_view value) {
  ByteRange range;
  if (!TakePrefix(value, "bytes=")) return std::nullopt;
  const auto first = TakeNumber(value);
  if (!first || !TakePrefix(value, "-")) return std::nullopt;
  range.first = *first;
  if (value.empty()) return range;
  const auto last = TakeNumber(value);
  if (!last || !value.empty() || *last < *first) return std::nullopt;
  range.last = *last;
  return range;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// Sends all of `data`; false when the peer went away.
bool SendAll(int connection, const char* data, std::size_t size, std::atomic<std::uint64_t>* counter) {
  while (size > 0) {
    const ssize_t sent = ::send(connection, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    if (counter) counter->fetch_add(static_cast<std::uint64_t>(sent), std::memory_order_relaxed);
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace

PatternServer::PatternServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  stopEvent_ = ::eventfd(0, EFD_CLOEXEC);
  if (listener_ < 0 || stopEvent_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // a free port
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

PatternServer::~PatternServer() {
  if (acceptor_.joinable()) {
    const std::uint64_t one = 1;
    (void)::write(stopEvent_, &one, sizeof one);
    acceptor_.join();
  }
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    // Wakes a connection blocked in recv or send; the worker closes it.
    for (const int connection : open_) ::shutdown(connection, SHUT_RDWR);
    workers.swap(workers_);
  }
  for (std::thread& worker : workers) worker.join();
  if (listener_ >= 0) ::close(listener_);
  if (stopEvent_ >= 0) ::close(stopEvent_);
}

std::string PatternServer::UrlFor(std::uint64_t size) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/pattern/" + std::to_string(size) + ".bin";
}

std::string PatternServer::DroppingUrlFor(std::uint64_t size, std::uint64_t every) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/drop/" + std::to_string(every) + "/" + std::to_string(size) +
         ".bin";
}

std::string PatternServer::ETagFor(std::uint64_t size) { return "\"pattern-" + std::to_string(size) + "\""; }

ServerCounters PatternServer::Counters() const {
  return {requests_.load(), bodyBytes_.load(), ranged_.load(), whole_.load()};
}

void PatternServer::ResetCounters() {
  requests_ = 0;
  bodyBytes_ = 0;
  ranged_ = 0;
  whole_ = 0;
}

void PatternServer::AcceptLoop() {
  while (true) {
    pollfd watched[2] = {{listener_, POLLIN, 0}, {stopEvent_, POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    std::lock_guard lock(mutex_);
    open_.insert(connection);
    workers_.emplace_back([this, connection] { Serve(connection); });
  }
}

void PatternServer::Serve(int connection) {
  // The request head: everything up to the empty line; a GET has no body.
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead) {
    const ssize_t received = ::recv(connection, buffer, sizeof buffer, 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) break;
    head.append(buffer, static_cast<std::size_t>(received));
  }

  std::string method, path, range, ifRange;
  bool complete = head.find("\r\n\r\n") != std::string::npos;
  if (complete) {
    std::string_view rest(head);
    const std::size_t lineEnd = rest.find("\r\n");
    const std::string_view requestLine = rest.substr(0, lineEnd);
    rest.remove_prefix(lineEnd + 2);
    const std::size_t space1 = requestLine.find(' ');
    const std::size_t space2 = requestLine.find(' ', space1 + 1);
    complete = space1 != std::string_view::npos && space2 != std::string_view::npos;
    if (complete) {
      method = requestLine.substr(0, space1);
      path = requestLine.substr(space1 + 1, space2 - space1 - 1);
    }
    while (complete && !rest.empty() && !rest.starts_with("\r\n")) {
      const std::size_t end = rest.find("\r\n");
      const std::string_view line = rest.substr(0, end);
      rest.remove_prefix(end + 2);
      const std::size_t colon = line.find(':');
      if (colon == std::string_view::npos) continue;
      const std::string name = Lower(Trim(line.substr(0, colon)));
      if (name == "range") range = Trim(line.substr(colon + 1));
      if (name == "if-range") ifRange = Trim(line.substr(colon + 1));
    }
  }

  if (complete) {
    requests_.fetch_add(1);
    const std::optional<Target> target = ParseTarget(path);
    std::string answer;
    std::uint64_t first = 0;
    std::uint64_t length = 0;
    if (method != "GET") {
      answer = "HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    } else if (!target) {
      answer = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    } else {
      const std::uint64_t size = target->size;
      const std::string etag = ETagFor(size);
      // If-Range: the Range counts only while the client's validator still names this file.
      const std::optional<ByteRange> asked =
          !range.empty() && (ifRange.empty() || ifRange == etag) ? ParseRange(range) : std::nullopt;
      const std::string common = "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\nETag: " + etag +
                                 "\r\nConnection: close\r\n";
      if (asked && asked->first >= size) {
        answer = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + std::to_string(size) +
                 "\r\nContent-Length: 0\r\n" + common + "\r\n";
      } else if (asked) {
        first = asked->first;
        const std::uint64_t last = std::min(asked->last.value_or(size - 1), size - 1);
        length = last - first + 1;
        answer = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
                 std::to_string(last) + "/" + std::to_string(size) + "\r\nContent-Length: " + std::to_string(length) +
                 "\r\n" + common + "\r\n";
        ranged_.fetch_add(1);
      } else {
        length = size;
        answer = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n" + common + "\r\n";
        whole_.fetch_add(1);
      }
    }

    if (SendAll(connection, answer.data(), answer.size(), nullptr) && length > 0) {
      // The dropping file sends at most `every` bytes of each answer, then closes.
      const std::uint64_t toSend = target->every > 0 ? std::min(length, target->every) : length;
      PatternBlock block;
      for (std::uint64_t offset = first, end = first + toSend; offset < end;) {
        const std::uint64_t index = offset / kPatternBlockSize;
        const std::size_t within = static_cast<std::size_t>(offset % kPatternBlockSize);
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(kPatternBlockSize - within, end - offset));
        if (!SendAll(connection, block.Block(index) + within, count, &bodyBytes_)) break;
        offset += count;
      }
    }
  }

  // The request was read whole, so closing sends a plain FIN: the client sees
  // every byte sent, then the end of the connection.
  ::shutdown(connection, SHUT_WR);
  {
    std::lock_guard lock(mutex_);
    open_.erase(connection);
    ::close(connection);
  }
}

}  // namespace tarnel::bench
