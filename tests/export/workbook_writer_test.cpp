#include "export/biff8/workbook_writer.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/xlrd_reader.h"

namespace {

TEST(WorkbookWriter, AnIndependentReaderSeesEveryTextCellWithTheTextFormat)
{
    kel_test::TempDir dir;
    biff8::Sheet sheet;
    sheet[{0, 0}] = {"Filename:"};
    sheet[{0, 1}] = {"TEST12.kel"};
    sheet[{9, 2}] = {"MIN"};
    sheet[{1, 1}] = {"\xC9" "COLE"};  // Latin-1
    sheet[{2, 1}] = {"Filename:"};    // a repeated text shares its string
    // Enough distinct texts to need CONTINUE records and several FAT sectors.
    for (int r = 0; r < 3000; ++r) sheet[{20 + r, 0}] = {"reading number " + std::to_string(r)};
    const std::string path = dir.File("book.xls");
    ASSERT_TRUE(biff8::SaveWorkbook(path, sheet));

    const std::string read = kel_test::ReadWithXlrd(path);
    EXPECT_NE(read.find("sheets 1\n"), std::string::npos) << read.substr(0, 400);
    EXPECT_NE(read.find("0,0,49,0,Filename:\n"), std::string::npos);
    EXPECT_NE(read.find("0,1,49,0,TEST12.kel\n"), std::string::npos);
    EXPECT_NE(read.find("9,2,49,0,MIN\n"), std::string::npos);
    EXPECT_NE(read.find("1,1,49,0,\xC3\x89" "COLE\n"), std::string::npos);
    EXPECT_NE(read.find("2,1,49,0,Filename:\n"), std::string::npos);
    EXPECT_NE(read.find("3019,0,49,0,reading number 2999\n"), std::string::npos);
    EXPECT_NE(read.find("log []"), std::string::npos) << read.substr(read.size() > 300 ? read.size() - 300 : 0);

    const auto bytes = biff8::CompoundFile(biff8::WorkbookStream(sheet));
    EXPECT_EQ(bytes.size() % 512, 0u);
}

TEST(WorkbookWriter, ASmallSheetIsPaddedToAnOrdinaryStream)
{
    biff8::Sheet sheet;
    sheet[{0, 0}] = {"A"};
    const auto stream = biff8::WorkbookStream(sheet);
    const auto file = biff8::CompoundFile(stream);
    EXPECT_EQ(file.size(), 512u * (8 + 3));  // header, 8 stream sectors, the FAT and the directory
    EXPECT_EQ(file[0], 0xD0);
    // The BOUNDSHEET names the worksheet BOF's position in the stream.
    std::size_t at = 0, boundsheet = 0;
    while (at + 4 <= stream.size()) {
        const unsigned id = stream[at] | stream[at + 1] << 8, length = stream[at + 2] | stream[at + 3] << 8;
        if (id == 0x0085) boundsheet = at;
        if (id == 0x0809 && at > 0) {
            const std::uint32_t named = stream[boundsheet + 4] | stream[boundsheet + 5] << 8 |
                                        stream[boundsheet + 6] << 16 | static_cast<std::uint32_t>(stream[boundsheet + 7]) << 24;
            EXPECT_EQ(named, at);
        }
        at += 4 + length;
    }
    EXPECT_EQ(at, stream.size());
}

}  // namespace
