// The catalogue of the test files of the current folder, with the header texts
// that identify each test, and the shared selection flags.
#pragma once

#include <string>

class CKELTestList {
public:
    static constexpr int kCapacity = 500;

    CKELTestList() = default;
    virtual ~CKELTestList();
    CKELTestList(const CKELTestList&) = delete;
    CKELTestList& operator=(const CKELTestList&) = delete;

    // Lists the "*.kel" entries of the current folder, each read header-only.
    // Always returns 1.
    int Refresh();

    int fileCount = 0;
    std::string fileNames[kCapacity];
    std::string typeCodes[kCapacity];
    std::string dateTexts[kCapacity];
    std::string companies[kCapacity];
    std::string locations[kCapacity];
    std::string descriptions[kCapacity];
    std::string operators[kCapacity];
    int selected[kCapacity] = {};
};
