// The one document: the tests that the main window shows, one or up to four
// overlaid. It is filled from the catalogue's selection and never stored.
#pragma once

#include <string>

#include "status/status.h"
#include "testfile/kel_file.h"

class CKELTestList;

class CKelDoc {
public:
    static constexpr int kMaxRecords = 4;

    explicit CKelDoc(const CKELTestList& catalogue) : catalogue_(catalogue) {}
    virtual ~CKelDoc();
    CKelDoc(const CKelDoc&) = delete;
    CKelDoc& operator=(const CKelDoc&) = delete;

    // Loads every flagged entry of the catalogue, in catalogue order, with
    // samples. The name is not used. Ok when every flagged file loaded; else
    // why the first that did not failed (CantOpenFile or CantReadFile).
    virtual Status OnOpenDocument(const std::string& pathName);
    // Drops the shown tests; the records stay as they are.
    virtual int OnNewDocument();
    // Whether the shown test's header texts were edited and not saved yet.
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified) { modified_ = modified; }

    int testOpen = 0;
    CKELFile records[kMaxRecords];
    int recordCount = 0;

private:
    const CKELTestList& catalogue_;
    bool modified_ = false;
};
