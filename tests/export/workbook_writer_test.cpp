#include "export/biff8/workbook_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/unicode.h"
#include "support/posix_only.h"
#include "support/temp_dir.h"
#include "support/xlrd_reader.h"

namespace {

TEST(WorkbookWriter, AnIndependentReaderSeesEveryTextCellWithTheTextFormat)
{
    KEL_LINUX_READERS_ONLY();
    kel_test::TempDir dir;
    biff8::Sheet sheet;
    sheet[{0, 0}] = {"Filename:"};
    sheet[{0, 1}] = {"TEST12.kel"};
    sheet[{9, 2}] = {"MIN"};
    sheet[{1, 1}] = {"\xC3\x89" "COLE"};                    // within Latin-1: one byte per character
    sheet[{3, 1}] = {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.kel"};  // beyond it: UTF-16
    sheet[{4, 1}] = {"Pr\xC3\xBC" "fung \xF0\x9F\x94\xA5"};      // and a character outside the BMP
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
    EXPECT_NE(read.find("3,1,49,0,\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.kel\n"), std::string::npos);
    EXPECT_NE(read.find("4,1,49,0,Pr\xC3\xBC" "fung \xF0\x9F\x94\xA5\n"), std::string::npos);
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

struct BiffRecord {
    unsigned id;
    std::size_t position;  // of its header in the stream
    std::vector<std::uint8_t> data;
};

std::vector<BiffRecord> Records(const std::vector<std::uint8_t>& stream)
{
    std::vector<BiffRecord> records;
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        const unsigned id = stream[at] | stream[at + 1] << 8;
        const std::size_t length = stream[at + 2] | stream[at + 3] << 8;
        records.push_back({id, at, {stream.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                    stream.begin() + static_cast<std::ptrdiff_t>(at + 4 + length)}});
        at += 4 + length;
    }
    return records;
}

unsigned Le16(const std::vector<std::uint8_t>& data, std::size_t at)
{
    return data.at(at) | data.at(at + 1) << 8;
}

// Reads the SST and its CONTINUE records as a reader that follows the format
// must: a string's characters may run on into the next CONTINUE, which then
// starts with the flags byte. Returns the strings and each one's start
// (stream position, offset in its record).
struct ReadStrings {
    std::vector<std::string> texts;
    std::vector<std::pair<std::size_t, std::size_t>> starts;
};

ReadStrings ReadSst(const std::vector<BiffRecord>& records, std::size_t sst)
{
    ReadStrings read;
    std::size_t r = sst, at = 8;
    const std::size_t count = Le16(records[sst].data, 4) | Le16(records[sst].data, 6) << 16;
    for (std::size_t i = 0; i < count; ++i) {
        if (at == records[r].data.size()) {
            ++r;
            at = 0;
            EXPECT_EQ(records.at(r).id, 0x003Cu) << "string " << i << " starts after the SST's records";
        }
        read.starts.emplace_back(records[r].position + 4 + at, 4 + at);
        const std::size_t length = Le16(records[r].data, at);
        const unsigned flags = records[r].data.at(at + 2);
        EXPECT_LE(flags, 1u) << "string " << i;
        const std::size_t unit = flags == 1 ? 2 : 1;
        at += 3;
        std::u16string text;
        while (text.size() < length) {
            if (at == records[r].data.size()) {
                ++r;
                EXPECT_EQ(records.at(r).id, 0x003Cu);
                EXPECT_EQ(records[r].data.at(0), flags) << "a continued string repeats its flags byte";
                at = 1;
            }
            const std::size_t part = std::min(length - text.size(), (records[r].data.size() - at) / unit);
            for (std::size_t k = 0; k < part; ++k, at += unit)
                text.push_back(static_cast<char16_t>(unit == 2 ? Le16(records[r].data, at) : records[r].data[at]));
            if (text.size() < length) {
                // The string goes on in the next record: this one ends on a whole character.
                EXPECT_EQ(at, records[r].data.size()) << "string " << i << " splits a character";
                EXPECT_FALSE(text.back() >= 0xD800 && text.back() <= 0xDBFF) << "string " << i << " splits a pair";
                at = records[r].data.size();
            }
        }
        read.texts.push_back(platform::Utf16ToUtf8(text));
    }
    EXPECT_EQ(at, records[r].data.size()) << "nothing follows the last string";
    return read;
}

TEST(WorkbookWriter, RecordsStayWithinTheirLimitsAndEveryStringReadsBackWhole)
{
    const struct {
        const char* name;
        std::size_t strings;
        std::size_t length;  // characters of each
        const char* character;  // UTF-8 of the character they repeat; empty: a letter
    } cases[] = {
        {"one string longer than two records", 1, 20000, ""},
        {"strings that meet record ends", 300, 100, ""},
        {"strings longer than a record, several", 3, 9000, ""},
        {"a short string after the SST header fills its record", 2, 8216, ""},
        {"many strings: EXTSST buckets grow", 20000, 6, ""},
        {"empty string", 2, 0, ""},
        {"UTF-16 strings longer than a record", 2, 9000, "\xE6\x97\xA5"},
        {"UTF-16 strings that meet record ends", 200, 77, "\xC3\x96\xE6\x97\xA5"},
        {"pairs of surrogates across record ends", 40, 333, "\xF0\x9F\x94\xA5"},
    };
    for (const auto& c : cases) {
        biff8::Sheet sheet;
        for (std::size_t i = 0; i < c.strings; ++i) {
            std::string text;
            for (std::size_t k = 0; k < c.length; ++k) text += *c.character ? c.character : std::string(1, static_cast<char>('a' + i % 26));
            text = std::to_string(i) + text;  // every text distinct
            if (c.length == 0 && i == 0) text.clear();
            sheet[{static_cast<int>(i % 60000), static_cast<int>(i / 60000)}] = {text};
        }
        const std::vector<BiffRecord> records = Records(biff8::WorkbookStream(sheet));
        std::size_t sst = 0, extsst = 0, defcolwidth = 0, colinfo = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_LE(records[i].data.size(), 8224u) << c.name << ": record " << std::hex << records[i].id;
            if (records[i].id == 0x00FC) sst = i;
            if (records[i].id == 0x00FF) extsst = i;
            if (records[i].id == 0x0055) defcolwidth = i;
            if (records[i].id == 0x007D && colinfo == 0) colinfo = i;
        }
        EXPECT_NE(defcolwidth, 0u) << c.name;
        EXPECT_LT(defcolwidth, colinfo) << c.name << ": DEFCOLWIDTH comes before COLINFO";

        std::vector<std::string> unique;
        for (const auto& [position, cell] : sheet)
            if (std::find(unique.begin(), unique.end(), cell.text) == unique.end()) unique.push_back(cell.text);
        const ReadStrings read = ReadSst(records, sst);
        EXPECT_EQ(read.texts, unique) << c.name;

        // Each bucket points at the first string it indexes; there are at most 128.
        const auto& index = records[extsst].data;
        const std::size_t perBucket = Le16(index, 0);
        const std::size_t buckets = (index.size() - 2) / 8;
        EXPECT_LE(buckets, 128u) << c.name;
        EXPECT_EQ(buckets, (unique.size() + perBucket - 1) / perBucket) << c.name;
        for (std::size_t b = 0; b < buckets; ++b) {
            const std::size_t position = Le16(index, 2 + 8 * b) | Le16(index, 4 + 8 * b) << 16;
            EXPECT_EQ(position, read.starts[b * perBucket].first) << c.name << " bucket " << b;
            EXPECT_EQ(Le16(index, 6 + 8 * b), read.starts[b * perBucket].second) << c.name << " bucket " << b;
        }
    }
}

TEST(WorkbookWriter, ALongStringReadsBackInAnotherReaderAndWhatTheFormatCannotHoldIsRefused)
{
    KEL_LINUX_READERS_ONLY();
    kel_test::TempDir dir;
    biff8::Sheet sheet;
    const std::string longText = std::string(12000, 'x') + "END";
    sheet[{0, 0}] = {"before"};
    sheet[{1, 0}] = {longText};
    sheet[{2, 0}] = {"after"};
    ASSERT_TRUE(biff8::SaveWorkbook(dir.File("long.xls"), sheet));
    const std::string read = kel_test::ReadWithXlrd(dir.File("long.xls"));
    EXPECT_NE(read.find("1,0,49,0," + longText + "\n2,0,49,0,after\n"), std::string::npos);
    EXPECT_NE(read.find("log []"), std::string::npos);

    for (const auto& [position, text] : {std::pair{std::pair{0, 0}, std::string(32768, 'x')},
                                         std::pair{std::pair{65536, 0}, std::string("row")},
                                         std::pair{std::pair{0, 256}, std::string("column")}}) {
        biff8::Sheet bad;
        bad[position] = {text};
        EXPECT_FALSE(biff8::SaveWorkbook(dir.File("bad.xls"), bad)) << text.substr(0, 10);
        EXPECT_FALSE(std::filesystem::exists(dir.File("bad.xls")));
    }
}

}  // namespace
