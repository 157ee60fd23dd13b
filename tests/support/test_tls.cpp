#include "support/test_tls.h"

#include <cstdlib>
#include <stdexcept>

namespace tarnel::test {

namespace {

void RunOpenssl(const std::string& arguments) {
  const std::string command = "openssl " + arguments + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl failed: " + command);
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

TestCertificates MakeTestCertificates(const TempDir& dir) {
  TestCertificates out{dir.file("ca.pem"), dir.file("server.pem"), dir.file("server.key")};
  const std::string caKey = dir.file("ca.key");
  const std::string request = dir.file("server.csr");
  const std::string extensions = dir.file("server.ext");
  const std::string ecKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";

  RunOpenssl("req -x509 " + ecKey + " -keyout " + Quoted(caKey) + " -out " + Quoted(out.caFile) +
             " -days 2 -subj '/CN=Tarnel Test CA'" +
             " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign");
  RunOpenssl("req -new " + ecKey + " -keyout " + Quoted(out.keyFile) + " -out " + Quoted(request) +
             " -subj '/CN=127.0.0.1'");
  WriteFile(extensions,
            "basicConstraints=CA:FALSE\n"
            "keyUsage=critical,digitalSignature,keyEncipherment\n"
            "extendedKeyUsage=serverAuth\n"
            "subjectAltName=IP:127.0.0.1\n");
  RunOpenssl("x509 -req -in " + Quoted(request) + " -CA " + Quoted(out.caFile) + " -CAkey " + Quoted(caKey) +
             " -CAcreateserial -days 2 -extfile " + Quoted(extensions) + " -out " + Quoted(out.certFile));
  return out;
}

TlsTestServer::TlsTestServer()
    : certificates_(MakeTestCertificates(dir_)),
      http_(std::make_unique<HttpTestServer>(
          std::make_unique<httplib::SSLServer>(certificates_.certFile.c_str(), certificates_.keyFile.c_str()),
          "https")) {}

}  // namespace tarnel::test
