#pragma once
// Owning handles for libcurl's easy, multi and MIME objects, and the
// process-wide initialisation guard.
//
// CurlGlobal is made once, in main, before any thread starts and lives until
// the process ends its work: libcurl's global state is not thread-safe to set
// up or tear down, so nothing else calls curl_global_init or cleanup.
#include <curl/curl.h>

#include <memory>

namespace tarnel::service {

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlMultiDeleter {
  void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;

struct CurlMimeDeleter {
  void operator()(curl_mime* form) const { curl_mime_free(form); }
};
using CurlMime = std::unique_ptr<curl_mime, CurlMimeDeleter>;

struct CurlSlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// Adds `handle` to `multi` for the guard's lifetime.
class CurlMultiAttachment {
 public:
  CurlMultiAttachment(CURLM* multi, CURL* handle) : multi_(multi), handle_(handle) {
    curl_multi_add_handle(multi_, handle_);
  }
  ~CurlMultiAttachment() { curl_multi_remove_handle(multi_, handle_); }
  CurlMultiAttachment(const CurlMultiAttachment&) = delete;
  CurlMultiAttachment& operator=(const CurlMultiAttachment&) = delete;

 private:
  CURLM* multi_;
  CURL* handle_;
};

class CurlGlobal {
 public:
  CurlGlobal() : ok_(curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK) {}
  ~CurlGlobal() {
    if (ok_) curl_global_cleanup();
  }
  CurlGlobal(const CurlGlobal&) = delete;
  CurlGlobal& operator=(const CurlGlobal&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace tarnel::service
