// The catalogue of the test files of one folder, with the header texts that
// identify each test, and the shared selection flags. The folder is a value
// the catalogue holds; the process's current folder plays no part.
#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "status/status.h"

// One test file of a folder as the catalogue lists it: its name and the texts
// that identify its test (empty when it holds none), or why it could not be opened.
struct CatalogueEntry {
    std::string fileName, typeCode, dateText, company, location, description, operatorName;
    Status problem;  // CantOpenFile (naming the entry as listed) when it could not be opened
};

// Hands `onEntry` the first `limit` "*.kel" entries of `folder` in catalogue
// order (case-insensitive name order), each read header-only, until it returns
// false. Returns how many such entries the folder has in all.
std::size_t ForEachCatalogueEntry(const std::string& folder, const std::function<bool(CatalogueEntry&)>& onEntry,
                                  std::size_t limit = std::numeric_limits<std::size_t>::max());

class CKELTestList {
public:
    static constexpr int kCapacity = 500;

    CKELTestList() = default;
    ~CKELTestList();
    CKELTestList(const CKELTestList&) = delete;
    CKELTestList& operator=(const CKELTestList&) = delete;

    // Lists the "*.kel" entries of `listFolder`, each read header-only, and
    // remembers the folder (absolute). Returns what went wrong with entries
    // that could not be opened, in catalogue order; their columns stay empty.
    std::vector<Status> Refresh(const std::string& listFolder);
    // The file of entry `i`: its name in `folder`, or the name itself when it
    // is absolute. What is loaded or saved is always this file, whatever the
    // current folder has become since the entries were listed.
    std::string PathOf(int i) const;
    // Makes the catalogue the one entry `name` of `entryFolder`, flagged, as
    // after a download or when one file is opened; its other columns are not read.
    void SetOnly(const std::string& entryFolder, const std::string& name);

    std::string folder;  // absolute; empty before the first listing
    // How many test files the folder has, of which the catalogue holds the first kCapacity.
    std::size_t totalFound = 0;

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
