#include "platform/folder_search.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "platform/regular_file.h"

namespace platform {
namespace {

unsigned char Fold(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

bool EndsWithCaseInsensitive(const std::string& name, const std::string& suffix)
{
    if (name.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return Fold(a) == Fold(b); });
}

}  // namespace

bool NameLessCaseInsensitive(const std::string& a, const std::string& b)
{
    const auto folded = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                     [](char x, char y) { return Fold(x) < Fold(y); });
    if (folded) return true;
    const auto foldedReverse = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                                            [](char x, char y) { return Fold(x) < Fold(y); });
    if (foldedReverse) return false;
    return a < b;  // the same but for case: a fixed order all the same
}

std::vector<std::string> FindByExtension(const std::filesystem::path& folder, const std::string& extension,
                                         std::size_t limit)
{
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        if (EndsWithCaseInsensitive(name, extension)) names.push_back(std::move(name));
    }
    if (names.size() > limit) {
        std::partial_sort(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(limit), names.end(),
                          NameLessCaseInsensitive);
        names.resize(limit);
    } else {
        std::sort(names.begin(), names.end(), NameLessCaseInsensitive);
    }
    return names;
}

namespace {

bool Walk(const std::filesystem::path& folder, const std::string& extension,
          const std::function<bool(const std::filesystem::path&)>& onMatch, std::set<FileIdentity>& walked)
{
    FileIdentity identity;
    if (!IdentityOf(folder.string(), identity) || !walked.insert(identity).second) return true;
    std::vector<std::filesystem::directory_entry> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return NameLessCaseInsensitive(a.path().filename().string(), b.path().filename().string());
    });
    for (const std::filesystem::directory_entry& entry : entries) {
        std::error_code ignored;
        if (entry.is_directory(ignored)) {
            if (!Walk(entry.path(), extension, onMatch, walked)) return false;
        } else if (EndsWithCaseInsensitive(entry.path().filename().string(), extension)) {
            if (!onMatch(entry.path())) return false;
        }
    }
    return true;
}

}  // namespace

void WalkTree(const std::filesystem::path& root, const std::string& extension,
              const std::function<bool(const std::filesystem::path&)>& onMatch)
{
    std::set<FileIdentity> walked;
    Walk(root, extension, onMatch, walked);
}

}  // namespace platform
