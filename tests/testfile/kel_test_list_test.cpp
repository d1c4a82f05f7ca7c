#include "testfile/kel_test_list.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cstring>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/posix_only.h"
#include "support/temp_dir.h"
#include "testfile/kel_file.h"
#include "support/test_file_builder.h"

namespace {

using kel_test::RecordingPresenter;
using kel_test::TempDir;
using kel_test::TestFileBuilder;

std::vector<std::string> Names(const CKELTestList& list)
{
    return {list.fileNames, list.fileNames + list.fileCount};
}

class CatalogueTest : public ::testing::Test {
protected:
    // Lists `folder`, showing what could not be opened as the Recall dialog does.
    void Refresh(const TempDir& folder)
    {
        for (const Status& problem : list->Refresh(folder.path().string())) Report(presenter, problem);
    }

    TempDir dir;
    RecordingPresenter presenter;
    std::unique_ptr<CKELTestList> list = std::make_unique<CKELTestList>();
};

TEST_F(CatalogueTest, ListsTestFilesWithTheirTexts)
{
    TestFileBuilder().TestType(3).Date(0x11, 0x02, 0x26).Company("ACME").Location("PLANT").Operator("ME")
        .Description("ABCDEFGHIJKLMNOPQRST").Write(dir.File("b.kel"));
    TestFileBuilder().TestType(5).Write(dir.File("a.kel"));
    TestFileBuilder().TestType(9).Write(dir.File("c.kel"));
    std::ofstream(dir.File("notes.txt")) << "not a test";
    Refresh(dir);
    EXPECT_EQ(list->folder, dir.path().string());
    ASSERT_EQ(Names(*list), (std::vector<std::string>{"a.kel", "b.kel", "c.kel"}));
    EXPECT_EQ(list->typeCodes[0], "SV");
    EXPECT_EQ(list->typeCodes[1], "PI");
    EXPECT_EQ(list->typeCodes[2], "");
    EXPECT_EQ(list->dateTexts[1], "11/02/26");
    EXPECT_EQ(list->companies[1], "ACME");
    EXPECT_EQ(list->locations[1], "PLANT");
    EXPECT_EQ(list->operators[1], "ME");
    EXPECT_EQ(list->descriptions[1], "ABCDEFGHIJKLMNOPQRST");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list->selected[i], 0);
    EXPECT_TRUE(presenter.messages.empty());
}

TEST_F(CatalogueTest, CaseInsensitiveMatchAndOrder)
{
    for (const char* name : {"b.kel", "TEST1.KEL", "a.Kel", "C.kel", "a.kel.bak", "kel", "x.kelx"})
        TestFileBuilder().Company(name).Write(dir.File(name));
    Refresh(dir);
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"a.Kel", "b.kel", "C.kel", "TEST1.KEL"}));
    EXPECT_EQ(list->companies[3], "TEST1.KEL");
}

TEST_F(CatalogueTest, UnreadableMatchesKeepAnEntryWithEmptyColumns)
{
    KEL_POSIX_ONLY("FIFOs and local sockets");
#ifndef _WIN32
    std::filesystem::create_directory(dir.File("folder.kel"));
    std::ofstream(dir.File("junk.kel")) << "no magic here";
    TestFileBuilder().Company("GOOD").Write(dir.File("good.kel"));
    // A named pipe and a socket: reading either would block for good.
    ASSERT_EQ(mkfifo(dir.File("pipe.kel").c_str(), 0600), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.File("sock.kel");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    listen(sock, 1);
    Refresh(dir);
    close(sock);
    ASSERT_EQ(Names(*list),
              (std::vector<std::string>{"folder.kel", "good.kel", "junk.kel", "pipe.kel", "sock.kel"}));
    for (int i : {0, 2, 3, 4}) {
        EXPECT_EQ(list->typeCodes[i], "");
        EXPECT_EQ(list->dateTexts[i], "");
        EXPECT_EQ(list->companies[i], "");
    }
    EXPECT_EQ(list->companies[1], "GOOD");
    // What is no regular file is reported; a file without the magic number is silent.
    EXPECT_EQ(presenter.Texts(), (std::vector<std::string>{"Can't open file folder.kel", "Can't open file pipe.kel",
                                                           "Can't open file sock.kel"}));
    // Nor is anything but a regular file ever written.
    CKELFile record;
    record.path = dir.File("pipe.kel");
    EXPECT_FALSE(record.WriteHeaderTexts());
#endif
}

TEST_F(CatalogueTest, RefreshDescribesTheNewFolderOnly)
{
    TempDir other;
    TestFileBuilder().Company("FIRST").Write(dir.File("one.kel"));
    TestFileBuilder().Company("SECOND").Write(other.File("two.kel"));
    Refresh(dir);
    list->selected[0] = 1;
    Refresh(other);
    ASSERT_EQ(Names(*list), std::vector<std::string>{"two.kel"});
    EXPECT_EQ(list->companies[0], "SECOND");
    EXPECT_EQ(list->selected[0], 0);
    EXPECT_EQ(list->PathOf(0), other.File("two.kel"));  // wherever the process's current folder is
}

TEST_F(CatalogueTest, EmptyFolderAndAtMost500Entries)
{
    Refresh(dir);
    EXPECT_EQ(list->fileCount, 0);
    const auto bytes = TestFileBuilder().Bytes();
    for (int i = 1; i <= 501; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "T%03d.kel", i);
        kel_test::WriteFileBytes(dir.File(name), bytes);
    }
    Refresh(dir);
    ASSERT_EQ(list->fileCount, 500);
    EXPECT_EQ(list->fileNames[0], "T001.kel");
    EXPECT_EQ(list->fileNames[499], "T500.kel");
    EXPECT_EQ(list->typeCodes[499], "R");
}

}  // namespace
