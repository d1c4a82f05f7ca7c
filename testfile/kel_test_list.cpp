#include "testfile/kel_test_list.h"

#include <filesystem>
#include <system_error>

#include "platform/folder_search.h"
#include "testfile/kel_file.h"

CKELTestList::~CKELTestList() = default;

int CKELTestList::Refresh()
{
    CKELFile scratch;
    fileCount = 0;

    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    folder = error ? std::string() : current.string();
    if (error) return 1;

    for (std::string& name : platform::FindByExtension(current, ".kel", kCapacity)) {
        const int i = fileCount;
        fileNames[i] = std::move(name);
        // The folder is the current one right now: its bare names open it without walking its path again.
        if (scratch.Load(fileNames[i], 0)) {
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
    return 1;
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
