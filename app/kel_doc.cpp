#include "app/kel_doc.h"

#include "testfile/kel_test_list.h"

CKelDoc::~CKelDoc() = default;

Status CKelDoc::OnOpenDocument(const std::string&)
{
    recordCount = 0;
    modified_ = false;
    for (int i = 0; i < catalogue_.fileCount && recordCount < kMaxRecords; ++i) {
        if (!catalogue_.selected[i]) continue;
        const std::string path = catalogue_.PathOf(i);
        const Status loaded = records[recordCount].Load(path, 1);
        testOpen = loaded ? 1 : 0;
        if (!loaded) {
            recordCount = 0;
            // A file that opened but holds no whole test would otherwise leave an empty window and no word.
            if (loaded.problem == Problem::NotATest) return Status::File(Problem::CantReadFile, path);
            return loaded;
        }
        ++recordCount;
    }
    // Nothing flagged: nothing to show, whatever was shown before.
    if (recordCount == 0) testOpen = 0;
    return {};
}

int CKelDoc::OnNewDocument()
{
    testOpen = 0;
    modified_ = false;
    return 1;
}
