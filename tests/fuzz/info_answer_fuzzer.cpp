// libFuzzer target: any bytes as the body of the info answer go through
// ParseInfoAnswer, which must not crash or throw, and gives a page address
// only together with a title.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "service/info_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const tarnel::service::InfoAnswer answer = tarnel::service::ParseInfoAnswer(body);
  if (answer.pageUrl && !answer.title) {
    std::fprintf(stderr, "info_answer_fuzzer: broken promise: a page address without a title\n");
    std::fflush(stderr);
    __builtin_trap();
  }
  return 0;
}
