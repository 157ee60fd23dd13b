#pragma once
// Collects the parts of one multipart form posted to the log endpoint, in the
// order in which they arrive, and turns them into an event record. Fed by
// httplib's multipart reader on the worker thread that handles the request.
#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarnel::standin {

struct FormPart {
  std::string name;
  std::string value;
};

class LogForm {
 public:
  // Forms with more parts than this are refused, so a client cannot make the
  // service hold an unbounded list.
  static constexpr std::size_t kMaxParts = 32;

  // A new part begins. Returns false (stop reading) when there are too many.
  bool BeginPart(const std::string& name);
  // More bytes of the current part's value. Returns false without a part.
  bool AppendValue(const char* data, std::size_t length);

  const std::vector<FormPart>& parts() const { return parts_; }

  // {"downloader_id":..,"event":..,"uuid":..,"parts":[names in order],"time":time},
  // members in this order. A field that the form lacks is null; of repeated
  // fields the first counts.
  nlohmann::ordered_json ToRecord(const std::string& time) const;

 private:
  std::vector<FormPart> parts_;
};

}  // namespace tarnel::standin
