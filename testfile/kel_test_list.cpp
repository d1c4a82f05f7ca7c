#include "testfile/kel_test_list.h"

#include <filesystem>
#include <system_error>

#include "platform/folder_search.h"
#include "testfile/kel_file.h"
#include "platform/names.h"

CKELTestList::~CKELTestList() = default;

std::size_t ForEachCatalogueEntry(const std::string& folder, const std::function<bool(CatalogueEntry&)>& onEntry,
                                  std::size_t limit)
{
    CKELFile scratch;
    std::size_t found = 0;
    for (std::string& name : platform::FindByExtension(folder, ".kel", limit, &found)) {
        CatalogueEntry entry;
        entry.fileName = std::move(name);
        const Status loaded = scratch.Load(platform::NameOf(platform::PathOf(folder) / platform::PathOf(entry.fileName)), 0);
        // The message names the entry as the list shows it.
        if (loaded.problem == Problem::CantOpenFile) entry.problem = Status::File(Problem::CantOpenFile, entry.fileName);
        if (loaded) {
            entry.typeCode = scratch.testTypeCode;
            entry.dateText = scratch.dateText;
            entry.company = scratch.company;
            entry.location = scratch.location;
            entry.description = scratch.description;
            entry.operatorName = scratch.operatorName;
        }
        if (!onEntry(entry)) break;
    }
    return found;
}

std::vector<Status> CKELTestList::Refresh(const std::string& listFolder)
{
    std::vector<Status> problems;
    fileCount = 0;
    totalFound = 0;

    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(platform::PathOf(listFolder), error);
    folder = error ? std::string() : platform::NameOf(absolute);
    if (error) return problems;

    totalFound = ForEachCatalogueEntry(folder, [&](CatalogueEntry& entry) {
        const int i = fileCount++;
        if (!entry.problem) problems.push_back(entry.problem);
        fileNames[i] = std::move(entry.fileName);
        typeCodes[i] = std::move(entry.typeCode);
        dateTexts[i] = std::move(entry.dateText);
        companies[i] = std::move(entry.company);
        locations[i] = std::move(entry.location);
        descriptions[i] = std::move(entry.description);
        operators[i] = std::move(entry.operatorName);
        selected[i] = 0;
        return true;
    }, kCapacity);
    return problems;
}

std::string CKELTestList::PathOf(int i) const
{
    const std::filesystem::path name = platform::PathOf(fileNames[i]);
    if (name.is_absolute() || folder.empty()) return fileNames[i];
    return platform::NameOf(platform::PathOf(folder) / name);
}

void CKELTestList::SetOnly(const std::string& entryFolder, const std::string& name)
{
    folder = entryFolder;
    fileNames[0] = name;
    selected[0] = 1;
    fileCount = 1;
}
