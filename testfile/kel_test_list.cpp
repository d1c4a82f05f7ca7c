#include "testfile/kel_test_list.h"

#include <filesystem>
#include <system_error>

#include "platform/folder_search.h"
#include "testfile/kel_file.h"

CKELTestList::~CKELTestList() = default;

std::vector<Status> CKELTestList::Refresh(const std::string& listFolder)
{
    CKELFile scratch;
    std::vector<Status> problems;
    fileCount = 0;

    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(listFolder, error);
    folder = error ? std::string() : absolute.string();
    if (error) return problems;

    for (std::string& name : platform::FindByExtension(absolute, ".kel", kCapacity)) {
        const int i = fileCount;
        fileNames[i] = std::move(name);
        const Status loaded = scratch.Load(PathOf(i), 0);
        // The message names the entry as the list shows it.
        if (loaded.problem == Problem::CantOpenFile) problems.push_back(Status::File(Problem::CantOpenFile, fileNames[i]));
        if (loaded) {
            typeCodes[i] = scratch.testTypeCode;
            dateTexts[i] = scratch.dateText;
            companies[i] = scratch.company;
            locations[i] = scratch.location;
            descriptions[i] = scratch.description;
            operators[i] = scratch.operatorName;
        } else {
            typeCodes[i].clear();
            dateTexts[i].clear();
            companies[i].clear();
            locations[i].clear();
            descriptions[i].clear();
            operators[i].clear();
        }
        selected[i] = 0;
        ++fileCount;
    }
    return problems;
}

std::string CKELTestList::PathOf(int i) const
{
    const std::filesystem::path name(fileNames[i]);
    if (name.is_absolute() || folder.empty()) return fileNames[i];
    return (std::filesystem::path(folder) / name).string();
}

void CKELTestList::SetOnly(const std::string& entryFolder, const std::string& name)
{
    folder = entryFolder;
    fileNames[0] = name;
    selected[0] = 1;
    fileCount = 1;
}
