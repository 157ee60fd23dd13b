#include "service_fixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace tarnel::standin::test {

ServiceFixture::ServiceFixture() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnel-standin-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder");
  }
  temp_ = pattern;
}

ServiceFixture::~ServiceFixture() {
  client_.reset();
  service_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(temp_, ignored);
}

void ServiceFixture::StartService(ServiceOptions options) {
  options.bind_address = "127.0.0.1";
  options.port = 0;
  service_ = std::make_unique<StandinService>(std::move(options));
  const int port = service_->Start();
  ASSERT_GT(port, 0);
  client_ = std::make_unique<httplib::Client>("127.0.0.1", port);
  client_->set_connection_timeout(5);
  client_->set_read_timeout(30);
}

std::filesystem::path ServiceFixture::WriteTempFile(const std::string& relative, const std::string& content) const {
  const std::filesystem::path path = temp_ / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return path;
}

std::string ServiceFixture::ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace tarnel::standin::test
