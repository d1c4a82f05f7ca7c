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
// case-insensitive name order. An unreadable folder yields no names.
std::vector<std::string> FindByExtension(const std::filesystem::path& folder, const std::string& extension,
                                         std::size_t limit);

// Calls `onMatch` with every entry under `root` (recursively) whose name ends
// in `extension` in any case and that is not a folder, in case-insensitive name
// order within each folder. Links to folders are followed, but each folder is
// walked once, so a link loop ends. Unreadable folders are passed over. When
// `onMatch` returns false the walk stops.
void WalkTree(const std::filesystem::path& root, const std::string& extension,
              const std::function<bool(const std::filesystem::path&)>& onMatch);

// Orders names by their ASCII letters folded to lower case, then by their bytes.
bool NameLessCaseInsensitive(const std::string& a, const std::string& b);

}  // namespace platform
