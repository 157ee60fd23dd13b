#pragma once
// Runs a StandinService in-process on a free 127.0.0.1 port for one test, with
// a private temporary folder for catalogues, installer files and log files.
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <httplib.h>

#include "standin_service.h"

namespace tarnel::standin::test {

class ServiceFixture : public ::testing::Test {
 protected:
  ServiceFixture();
  ~ServiceFixture() override;

  // Starts the service with `options` (port forced to 0, loopback address).
  void StartService(ServiceOptions options = {});

  const std::filesystem::path& temp() const { return temp_; }
  // Writes `content` to a file in the temporary folder and returns its path.
  std::filesystem::path WriteTempFile(const std::string& relative, const std::string& content) const;
  static std::string ReadWholeFile(const std::filesystem::path& path);

  StandinService& service() { return *service_; }
  httplib::Client& client() { return *client_; }

 private:
  std::filesystem::path temp_;
  std::unique_ptr<StandinService> service_;
  std::unique_ptr<httplib::Client> client_;
};

}  // namespace tarnel::standin::test
