#include "platform/folder_search.h"
#include "platform/names.h"

#include <algorithm>
#include <system_error>


namespace platform {
namespace {

unsigned char Fold(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

}  // namespace

bool EndsWithCaseInsensitive(const std::string& name, const std::string& suffix)
{
    if (name.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return Fold(a) == Fold(b); });
}

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

std::vector<std::string> FindByExtension(const std::string& folder, const std::string& extension,
                                         std::size_t limit, std::size_t* found)
{
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(PathOf(folder), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::string name = NameOf(it->path().filename());
        if (EndsWithCaseInsensitive(name, extension)) names.push_back(std::move(name));
    }
    if (found) *found = names.size();
    if (names.size() > limit) {
        std::partial_sort(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(limit), names.end(),
                          NameLessCaseInsensitive);
        names.resize(limit);
    } else {
        std::sort(names.begin(), names.end(), NameLessCaseInsensitive);
    }
    return names;
}

}  // namespace platform
