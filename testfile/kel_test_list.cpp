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
    const std::filesystem::path folder = std::filesystem::current_path(error);
    if (error) return 1;

    for (std::string& name : platform::FindByExtension(folder, ".kel", kCapacity)) {
        const int i = fileCount;
        fileNames[i] = std::move(name);
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
