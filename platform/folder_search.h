// Directory search for files by extension, as the original file system did it:
// letter case does not matter, and the matches come in case-insensitive name order.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Names (without folder) of the entries of `folder` that end in `extension`
// (".kel"), whatever their kind, at most `limit` of them: the first ones in
// case-insensitive name order. An unreadable folder yields no names. `found`,
// when given, receives how many there are in all.
std::vector<std::string> FindByExtension(const std::string& folder, const std::string& extension,
                                         std::size_t limit, std::size_t* found = nullptr);

// Whether `name` ends in `suffix`, ASCII letters compared without regard to case.
bool EndsWithCaseInsensitive(const std::string& name, const std::string& suffix);

// Orders names by their ASCII letters folded to lower case, then by their bytes.
bool NameLessCaseInsensitive(const std::string& a, const std::string& b);

}  // namespace platform
