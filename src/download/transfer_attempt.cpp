#include "download/transfer_attempt.h"

#include <curl/curl.h>

#include "platform/url_rules.h"
#include "service/curl_handles.h"

namespace tarnel::download {
namespace {

// libcurl's own read buffer: large blocks mean fewer callbacks at high rates.
constexpr long kReceiveBufferSize = 512 * 1024;

struct Context {
  const AttemptInput& input;
  const std::string& url;  // of this hop
  HashingWriter& writer;
  const AttemptHooks& hooks;
  CURL* curl;
  std::uint64_t offset;  // bytes the request asked the server to skip
  bool inspected = false;
  bool accept = false;  // the answer's body is file content
  std::uint64_t total = 0;
  AttemptOutput out;
  std::string redirectTo;  // the next hop, when this answer is a redirect
};

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string_view HeaderValue(CURL* curl, const char* name) {
  curl_header* header = nullptr;
  if (curl_easy_header(curl, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK || header == nullptr) return {};
  return header->value;
}

void RecordFileError(Context& c, FileError error) {
  if (error == FileError::kDiskFull) {
    c.out.result.diskFull = true;
  } else {
    c.out.result.writeFailed = true;
  }
  c.accept = false;
}

// Looks at the final answer once, before its body: is it the file, and from where.
void Inspect(Context& c) {
  if (c.inspected) return;
  c.inspected = true;
  long status = 0;
  curl_easy_getinfo(c.curl, CURLINFO_RESPONSE_CODE, &status);
  c.out.result.httpStatus = status;
  curl_off_t length = -1;
  curl_easy_getinfo(c.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  const std::string_view contentRange = HeaderValue(c.curl, "Content-Range");
  char* location = nullptr;
  if (IsRedirect(status) && curl_easy_getinfo(c.curl, CURLINFO_REDIRECT_URL, &location) == CURLE_OK &&
      location != nullptr) {
    c.redirectTo = location;  // its body, if any, is not file content and goes nowhere
    return;
  }

  switch (ClassifyResumeAnswer(status, c.offset, contentRange)) {
    case ResumeAnswer::kNotAFile: c.out.result.notAFile = true; return;
    case ResumeAnswer::kDiscard: c.out.discardPart = true; return;
    case ResumeAnswer::kStartOver:
      if (c.writer.Size() > 0) {
        if (const FileError error = c.writer.Truncate(); error != FileError::kNone) return RecordFileError(c, error);
      }
      c.out.wholeFileAnswer = true;
      c.out.validators = MakeValidators(HeaderValue(c.curl, "ETag"), HeaderValue(c.curl, "Last-Modified"));
      c.total = length > 0 ? static_cast<std::uint64_t>(length) : 0;
      break;
    case ResumeAnswer::kAppend: {
      const auto range = ParseContentRange(contentRange);
      c.total =
          range && range->total ? *range->total : (length > 0 ? c.offset + static_cast<std::uint64_t>(length) : 0);
      break;
    }
  }
  c.accept = true;

  if (const std::string_view digest = HeaderValue(c.curl, "Repr-Digest"); !digest.empty()) {
    c.out.reprDigest = ParseReprDigestSha256(digest);
  }
  if (c.input.hashWanted || c.out.reprDigest) {
    if (const FileError error = c.writer.EnableHashing(); error != FileError::kNone) return RecordFileError(c, error);
  }
  // An announced size that cannot fit ends the job before writing starts.
  if (length > 0) {
    const auto free = FreeSpaceFor(c.input.partPath);
    if (free && static_cast<std::uint64_t>(length) > *free) RecordFileError(c, FileError::kDiskFull);
  }
}

size_t OnBody(char* data, size_t size, size_t count, void* context) {
  auto& c = *static_cast<Context*>(context);
  Inspect(c);
  const size_t bytes = size * count;
  if (!c.redirectTo.empty()) return bytes;
  if (!c.accept) return 0;  // not file content: the transfer stops here
  if (const FileError error = c.writer.Append(data, bytes); error != FileError::kNone) {
    RecordFileError(c, error);
    return 0;
  }
  // libcurl's progress calls come seldom at high rates; the mailbox keeps the pace.
  if (c.hooks.progress) c.hooks.progress(c.writer.Size(), c.total);
  return bytes;
}

int OnProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& c = *static_cast<Context*>(context);
  if (c.hooks.cancelled && c.hooks.cancelled()) return 1;
  if (c.accept && c.hooks.progress) c.hooks.progress(c.writer.Size(), c.total);
  return 0;
}

void SetOptions(Context& c, curl_slist* headers) {
  CURL* curl = c.curl;
  const TransferLimits& limits = *c.input.limits;
  curl_easy_setopt(curl, CURLOPT_URL, c.url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &c);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &c);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  // Redirects are followed by RunAttempt, hop by hop; only web addresses are asked.
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  // A stalled attempt ends instead of hanging for ever.
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedLimit);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedTimeSeconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  if (!limits.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, limits.caFile.c_str());
  if (c.input.proxy) curl_easy_setopt(curl, CURLOPT_PROXY, c.input.proxy->c_str());
  if (headers != nullptr) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
}

// Whether `url` may be asked at all: a web address over a transport the rules
// trust, or any web address when the file's digest is checked at the end.
bool MayAsk(const AttemptInput& input, const std::string& url, AttemptResult& result) {
  if (!platform::IsWebUrl(url)) {
    result.curlCode = CURLE_UNSUPPORTED_PROTOCOL;
    return false;
  }
  if (!input.plainHttpAllowed && !platform::IsTrustedTransport(url)) {
    result.insecure = true;
    return false;
  }
  return true;
}

// curl_easy_perform, but through a multi handle that the job can wake, so a
// cancel ends a silent connection at once instead of at the next progress call.
CURLcode Perform(Context& c) {
  service::CurlMulti multi(curl_multi_init());
  if (!multi) return CURLE_OUT_OF_MEMORY;
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  service::CurlMultiAttachment attachment(multi.get(), c.curl);
  if (c.hooks.registerMulti) c.hooks.registerMulti(multi.get());
  int running = 1;
  while (running > 0) {
    if (c.hooks.cancelled && c.hooks.cancelled()) break;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
    if (running > 0) curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
  }
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == c.curl) result = message->data.result;
  }
  // After this no Cancel() can reach the multi handle any more.
  if (c.hooks.registerMulti) c.hooks.registerMulti(nullptr);
  return result;
}

}  // namespace

AttemptOutput RunAttempt(const AttemptInput& input, HashingWriter& writer, const AttemptHooks& hooks) {
  AttemptOutput failed;
  const std::uint64_t existing = writer.Size();
  // Without a validator nothing proves the server still has the same file.
  if (existing > 0 && !input.validators.Any()) {
    if (const FileError error = writer.Truncate(); error != FileError::kNone) {
      failed.result.writeFailed = error != FileError::kDiskFull;
      failed.result.diskFull = error == FileError::kDiskFull;
      return failed;
    }
  }
  service::CurlSlist headers;
  for (const std::string& line : ResumeHeaders(writer.Size(), input.validators)) {
    curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
    if (grown != nullptr) {
      (void)headers.release();
      headers.reset(grown);
    }
  }
  service::CurlSlist resolve;
  for (const std::string& entry : input.limits->resolve) {
    curl_slist* grown = curl_slist_append(resolve.get(), entry.c_str());
    if (grown != nullptr) {
      (void)resolve.release();
      resolve.reset(grown);
    }
  }

  std::string url = input.url;
  for (long hop = 0;; ++hop) {
    if (!MayAsk(input, url, failed.result)) return failed;
    service::CurlEasy curl(curl_easy_init());
    if (!curl) {
      failed.result.curlCode = CURLE_FAILED_INIT;
      return failed;
    }
    Context c{input, url, writer, hooks, curl.get(), writer.Size(), false, false, 0, AttemptOutput{}, {}};
    SetOptions(c, headers.get());
    if (resolve) curl_easy_setopt(curl.get(), CURLOPT_RESOLVE, resolve.get());

    c.out.result.curlCode = Perform(c);
    c.out.result.cancelled = hooks.cancelled && hooks.cancelled();
    // A bodiless answer (an empty file, a redirect, a 503, a 416) is looked at here.
    if (!c.inspected && c.out.result.curlCode == CURLE_OK) Inspect(c);
    if (const FileError error = writer.Flush(); error != FileError::kNone) RecordFileError(c, error);

    if (!c.redirectTo.empty() && c.out.result.curlCode == CURLE_OK && !c.out.result.cancelled) {
      if (hop >= input.limits->maxRedirects) {
        failed.result.curlCode = CURLE_TOO_MANY_REDIRECTS;
        return failed;
      }
      url = c.redirectTo;
      continue;
    }

    curl_off_t retryAfter = 0;
    if (curl_easy_getinfo(curl.get(), CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0) {
      c.out.retryAfter = std::chrono::seconds(retryAfter);
    }
    const AttemptResult& result = c.out.result;
    c.out.complete = result.curlCode == CURLE_OK && c.accept && !result.cancelled && !result.writeFailed &&
                     !result.diskFull && (c.total == 0 || writer.Size() == c.total);
    if (c.accept && c.hooks.progress) c.hooks.progress(writer.Size(), c.total);
    return c.out;
  }
}

}  // namespace tarnel::download
