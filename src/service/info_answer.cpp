#include "service/info_answer.h"

#include <exception>

#include <nlohmann/json.hpp>

namespace tarnel::service {

namespace {

using nlohmann::json;

// Member `key` of `value`, or nullptr when `value` is not an object (null
// counts as an empty object) or has no such member.
const json* Member(const json& value, const char* key) {
  if (!value.is_object()) return nullptr;
  const auto it = value.find(key);
  return it == value.end() ? nullptr : &*it;
}

}  // namespace

InfoAnswer ParseInfoAnswer(const std::string& body) {
  InfoAnswer answer;
  try {
    const json root = json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded()) return answer;

    // The comparison is numeric: 200, 200u and 200.0 pass, "200" does not.
    const json* code = Member(root, "code");
    if (code == nullptr || !code->is_number() || *code != 200) return answer;

    const json* data = Member(root, "data");
    if (data == nullptr) return answer;
    const json* name = Member(*data, "name");
    if (name == nullptr || !name->is_string()) return answer;
    answer.title = name->get<std::string>();

    const json* url = Member(*data, "url1");
    if (url != nullptr && url->is_string()) answer.pageUrl = url->get<std::string>();
  } catch (const std::exception&) {
    // Only allocation can fail here; the answer gathered so far stands.
  }
  return answer;
}

}  // namespace tarnel::service
