#pragma once
// TLS material made at test time: a self-signed certificate authority and a
// server certificate for 127.0.0.1 issued by it, written by the `openssl`
// command line tool into a temporary folder, and an HTTPS test server that
// presents them.
#include <memory>
#include <string>

#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace tarnel::test {

struct TestCertificates {
  std::string caFile;    // PEM certificate of the authority; hand it to a client to trust the server
  std::string certFile;  // PEM server certificate (subjectAltName IP:127.0.0.1)
  std::string keyFile;   // PEM server private key
};

// Writes a fresh authority and server certificate into `dir`. Throws when the
// openssl tool fails.
TestCertificates MakeTestCertificates(const TempDir& dir);

// An HttpTestServer over httplib::SSLServer with certificates of its own.
class TlsTestServer {
 public:
  TlsTestServer();

  const TestCertificates& certificates() const { return certificates_; }
  HttpTestServer& http() { return *http_; }

 private:
  TempDir dir_;
  TestCertificates certificates_;
  std::unique_ptr<HttpTestServer> http_;
};

}  // namespace tarnel::test
