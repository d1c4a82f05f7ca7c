#include "app/kel_doc.h"

#include "app/process_objects.h"

CKelDoc::~CKelDoc() = default;

int CKelDoc::OnOpenDocument(const std::string&)
{
    recordCount = 0;
    for (int i = 0; i < testCatalogue.fileCount && recordCount < kMaxRecords; ++i) {
        if (!testCatalogue.selected[i]) continue;
        testOpen = records[recordCount].Load(testCatalogue.PathOf(i), 1);
        if (!testOpen) return 0;
        ++recordCount;
    }
    // Nothing flagged: nothing to show, whatever was shown before.
    if (recordCount == 0) testOpen = 0;
    return 1;
}

int CKelDoc::OnNewDocument()
{
    testOpen = 0;
    return 1;
}
