// The one document: the tests that the main window shows, one or up to four
// overlaid. It is filled from the catalogue's selection and never stored.
#pragma once

#include <string>

#include "testfile/kel_file.h"

class CKelDoc {
public:
    static constexpr int kMaxRecords = 4;

    CKelDoc() = default;
    virtual ~CKelDoc();
    CKelDoc(const CKelDoc&) = delete;
    CKelDoc& operator=(const CKelDoc&) = delete;

    // Loads every flagged catalogue entry, in catalogue order, with samples.
    // The name is not used. Non-zero when every flagged file loaded.
    virtual int OnOpenDocument(const std::string& pathName);
    // Drops the shown tests; the records stay as they are.
    virtual int OnNewDocument();

    int testOpen = 0;
    CKELFile records[kMaxRecords];
    int recordCount = 0;
};
