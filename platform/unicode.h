// UTF-8 and UTF-16, both ways. Bytes that are not UTF-8 become U+FFFD, so
// every result is valid text.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace platform
