// UTF-8 and UTF-16, both ways. Bytes that are not UTF-8 become U+FFFD, so
// every result is valid text.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Text for a terminal: control characters (below 0x20, DEL, and the C1
// characters U+0080-U+009F) become escapes such as \t, \0 or \x1b, so that a
// header text, a file name or a tester's reply cannot retitle, clear or break
// the output. Everything else passes as it is (file names keep the system's
// bytes). With `keepNewlines` a line feed stays a line break.
std::string EscapeControls(std::string_view utf8, bool keepNewlines = false);

}  // namespace platform
