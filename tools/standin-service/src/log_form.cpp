#include "log_form.h"

#include <algorithm>

namespace tarnel::standin {

bool LogForm::BeginPart(const std::string& name) {
  if (parts_.size() >= kMaxParts) {
    return false;
  }
  parts_.push_back(FormPart{name, {}});
  return true;
}

bool LogForm::AppendValue(const char* data, std::size_t length) {
  if (parts_.empty()) {
    return false;
  }
  parts_.back().value.append(data, length);
  return true;
}

nlohmann::ordered_json LogForm::ToRecord(const std::string& time) const {
  nlohmann::ordered_json record = nlohmann::ordered_json::object();
  for (const char* field : {"downloader_id", "event", "uuid"}) {
    auto it = std::find_if(parts_.begin(), parts_.end(), [field](const FormPart& p) { return p.name == field; });
    record[field] = it == parts_.end() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(it->value);
  }
  nlohmann::ordered_json names = nlohmann::ordered_json::array();
  for (const FormPart& part : parts_) {
    names.push_back(part.name);
  }
  record["parts"] = std::move(names);
  record["time"] = time;
  return record;
}

}  // namespace tarnel::standin
