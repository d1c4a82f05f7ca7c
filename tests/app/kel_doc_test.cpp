#include "app/kel_doc.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "testfile/kel_test_list.h"
#include "support/test_file_builder.h"

namespace {

using kel_test::TempDir;
using kel_test::TestFileBuilder;

class KelDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 1; i <= 5; ++i)
            TestFileBuilder().TestNumber(static_cast<std::uint16_t>(i)).Samples(10 * i, 500, 1e-9)
                .Write(dir.File("T" + std::to_string(i) + ".kel"));
        testCatalogue.Refresh(dir.path().string());
    }
    void Select(std::initializer_list<int> rows)
    {
        for (int i = 0; i < testCatalogue.fileCount; ++i) testCatalogue.selected[i] = 0;
        for (int row : rows) testCatalogue.selected[row] = 1;  // in the order the user picked them
    }

    TempDir dir;
    CKELTestList testCatalogue;
    std::unique_ptr<CKelDoc> doc = std::make_unique<CKelDoc>(testCatalogue);
};

TEST_F(KelDocTest, LoadsTheFlaggedEntriesInCatalogueOrder)
{
    Select({2, 0, 1});
    EXPECT_TRUE(doc->OnOpenDocument("ignored.kel"));
    EXPECT_NE(doc->testOpen, 0);
    ASSERT_EQ(doc->recordCount, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(doc->records[i].testNumber, i + 1);
        EXPECT_TRUE(doc->records[i].resistances);  // with samples
    }
}

TEST_F(KelDocTest, AFileThatCannotBeShownSaysWhyAndLeavesTheDocumentEmpty)
{
    const auto whole = kel_test::ReadFileBytes(dir.File("T2.kel"));
    const struct {
        const char* name;
        std::vector<unsigned char> bytes;  // of T2.kel; empty: the file is missing
        const char* message;
    } cases[] = {
        {"no magic number", TestFileBuilder().Magic(0).Bytes(), "Can't read file "},
        {"cut inside the header", {whole.begin(), whole.begin() + 100}, "Can't read file "},
        {"samples cut short", {whole.begin(), whole.end() - 1}, "Can't read file "},
        {"missing", {}, "Can't open file "},
    };
    for (const auto& c : cases) {
        if (c.bytes.empty()) std::filesystem::remove(dir.File("T2.kel"));
        else kel_test::WriteFileBytes(dir.File("T2.kel"), c.bytes);
        Select({0, 1, 2});
        const Status opened = doc->OnOpenDocument("T1.kel");
        EXPECT_EQ(doc->testOpen, 0) << c.name;
        EXPECT_EQ(doc->recordCount, 0) << c.name;
        // One message naming the file, whatever the reason.
        EXPECT_EQ(MessageFor(opened).text, c.message + dir.File("T2.kel")) << c.name;
    }
}

TEST_F(KelDocTest, NothingFlaggedShowsNothing)
{
    Select({3});
    ASSERT_TRUE(doc->OnOpenDocument(""));
    ASSERT_NE(doc->testOpen, 0);
    Select({});
    EXPECT_TRUE(doc->OnOpenDocument(""));
    EXPECT_EQ(doc->recordCount, 0);
    EXPECT_EQ(doc->testOpen, 0);  // never "showing" with no record
}

TEST_F(KelDocTest, NewDocumentDropsTheTestsButKeepsTheRecords)
{
    Select({4});
    doc->OnOpenDocument("");
    EXPECT_NE(doc->OnNewDocument(), 0);
    EXPECT_EQ(doc->testOpen, 0);
    EXPECT_EQ(doc->recordCount, 1);
    EXPECT_EQ(doc->records[0].testNumber, 5);
}

}  // namespace
