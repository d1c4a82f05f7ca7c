// File names and paths are the system's own bytes: UTF-8 on Linux, the ANSI
// code page on Windows. Texts inside test files are Latin-1 and never pass
// through here. These two turn a name into Unicode text (for a workbook cell,
// an automation string) and back, by the system's one rule.
#pragma once

#include <string>

namespace platform {

// The name as UTF-8 text; bytes the system's encoding does not give a character become U+FFFD.
std::string NameToUtf8(const std::string& name);
// UTF-8 text as a name the system can open.
std::string Utf8ToName(const std::string& utf8);

}  // namespace platform
