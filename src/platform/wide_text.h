#pragma once
// UTF-8, the program's own text, to and from UTF-16, the text of every Win32
// call. Windows builds only. Invalid UTF-8 becomes U+FFFD; unpaired
// surrogates in UTF-16 become U+FFFD too. Text after a NUL is kept.
#include <string>
#include <string_view>

namespace tarnel::platform {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace tarnel::platform
