#include "app/kel_doc.h"

#include "app/process_objects.h"
#include "platform/message_box.h"

CKelDoc::~CKelDoc() = default;

int CKelDoc::OnOpenDocument(const std::string&)
{
    recordCount = 0;
    for (int i = 0; i < testCatalogue.fileCount && recordCount < kMaxRecords; ++i) {
        if (!testCatalogue.selected[i]) continue;
        const std::string path = testCatalogue.PathOf(i);
        testOpen = records[recordCount].Load(path, 1);
        if (!testOpen) {
            // A file that opened but holds no whole test would otherwise leave an empty window and no word.
            if (records[recordCount].lastLoad == CKELFile::LoadResult::NotATest)
                ShowMessage("Can't read file %s", path.c_str());
            recordCount = 0;
            return 0;
        }
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
