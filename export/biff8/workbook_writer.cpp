#include "export/biff8/workbook_writer.h"

#include <algorithm>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/unicode.h"
#include "platform/names.h"

namespace biff8 {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMaxRecordData = 8224;
constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;
constexpr std::size_t kMaxCellCharacters = 32767;
constexpr std::uint16_t kCellXf = 16;     // the text cells' XF: format 49, "@"
constexpr std::uint16_t kGeneralXf = 15;  // the default cell XF

void U8(Bytes& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value));
}

void U16(Bytes& out, unsigned value)
{
    U8(out, value & 0xFF);
    U8(out, value >> 8 & 0xFF);
}

void U32(Bytes& out, std::uint32_t value)
{
    U16(out, value & 0xFFFF);
    U16(out, value >> 16);
}

// Write a record: id, length, data.
void Record(Bytes& out, unsigned id, const Bytes& data)
{
    U16(out, id);
    U16(out, static_cast<unsigned>(data.size()));
    for (const std::uint8_t byte : data) out.push_back(byte);
}

// A one-byte-per-character string with an 8-bit count (sheet and font names).
Bytes ShortString(const std::string& text)
{
    Bytes bytes(2 + text.size());
    bytes[0] = static_cast<std::uint8_t>(text.size());
    bytes[1] = 0;
    std::copy(text.begin(), text.end(), bytes.begin() + 2);
    return bytes;
}

// Write the BOF record of a substream.
void Bof(Bytes& out, unsigned type)
{
    Bytes data;
    U16(data, 0x0600);
    U16(data, type);
    U16(data, 0x0DBB);
    U16(data, 0x07CC);
    U32(data, 0);
    U32(data, 6);
    Record(out, 0x0809, data);
}

// Write the FONT record: Arial 10 pt.
void Font(Bytes& out)
{
    Bytes data;
    U16(data, 200);
    U16(data, 0);
    U16(data, 0x7FFF);
    U16(data, 400);
    U16(data, 0);
    U8(data, 0);
    U8(data, 0);
    U8(data, 0);
    U8(data, 0);
    const Bytes name = ShortString("Arial");
    data.insert(data.end(), name.begin(), name.end());
    Record(out, 0x0031, data);
}

// Write one XF record.
void Xf(Bytes& out, unsigned font, unsigned format, unsigned typeAndParent, unsigned alignment, unsigned used)
{
    Bytes data;
    U16(data, font);
    U16(data, format);
    U16(data, typeAndParent);
    U8(data, alignment);
    U8(data, 0);
    U8(data, 0);
    U8(data, used);
    U32(data, 0);
    U32(data, 0);
    U16(data, 0x20C0);
    Record(out, 0x00E0, data);
}

// The shared strings: unique texts in first-use order, as UTF-16 code units.
struct Strings {
    std::vector<std::u16string> texts;
    std::map<std::string, std::uint32_t> index;
    std::uint32_t uses = 0;

    std::uint32_t Add(const std::string& utf8)
    {
        ++uses;
        const auto [it, added] = index.emplace(utf8, static_cast<std::uint32_t>(texts.size()));
        if (added) texts.push_back(platform::Utf8ToUtf16(utf8));
        return it->second;
    }
};

// A string whose characters all lie in U+0000-U+00FF is stored one byte per
// character (their low bytes); any other is stored as UTF-16LE.
bool NeedsWideCharacters(const std::u16string& text)
{
    return std::any_of(text.begin(), text.end(), [](char16_t unit) { return unit > 0xFF; });
}

// Strings per EXTSST bucket: at least 8, and so many that at most 128 buckets
// index the whole table, which keeps the record far below its 8,224 bytes.
unsigned StringsPerBucket(std::size_t strings)
{
    return static_cast<unsigned>(std::max<std::size_t>(8, (strings + 127) / 128));
}

// Write the SST with its CONTINUE records, and the EXTSST that indexes it.
// A string starts a new CONTINUE when its header and first character do not
// fit the record; one longer than the space left is split between characters,
// and its part in the next CONTINUE starts with the flags byte again.
void SharedStrings(Bytes& out, const Strings& strings)
{
    const unsigned perBucket = StringsPerBucket(strings.texts.size());
    struct BucketStart {
        std::uint32_t position;
        std::uint16_t offset;
    };
    std::vector<BucketStart> buckets;

    std::size_t recordStart = out.size();
    Bytes data;
    U32(data, strings.uses);
    U32(data, static_cast<std::uint32_t>(strings.texts.size()));
    unsigned id = 0x00FC;
    const auto flush = [&] {
        Record(out, id, data);
        data.clear();
        id = 0x003C;  // CONTINUE
        recordStart = out.size();
    };
    for (std::size_t i = 0; i < strings.texts.size(); ++i) {
        const std::u16string& text = strings.texts[i];
        const bool wide = NeedsWideCharacters(text);
        const std::size_t unitSize = wide ? 2 : 1;
        const std::uint8_t flags = wide ? 0x01 : 0x00;
        const std::size_t first = text.empty() ? 0 : unitSize;
        if (data.size() + 3 + first > kMaxRecordData) flush();
        if (i % perBucket == 0)
            buckets.push_back({static_cast<std::uint32_t>(recordStart + 4 + data.size()),
                               static_cast<std::uint16_t>(4 + data.size())});
        U16(data, static_cast<unsigned>(text.size()));
        U8(data, flags);
        std::size_t done = 0;
        while (true) {
            std::size_t part = std::min(text.size() - done, (kMaxRecordData - data.size()) / unitSize);
            // A surrogate pair stays in one record: a character is never split.
            if (part > 0 && done + part < text.size() && text[done + part - 1] >= 0xD800 &&
                text[done + part - 1] <= 0xDBFF)
                --part;
            for (std::size_t k = done; k < done + part; ++k) {
                if (wide) U16(data, text[k]);
                else U8(data, text[k]);
            }
            done += part;
            if (done == text.size()) break;
            flush();
            U8(data, flags);
        }
    }
    flush();

    Bytes index;
    U16(index, perBucket);
    for (const BucketStart& bucket : buckets) {
        U32(index, bucket.position);
        U16(index, bucket.offset);
        U16(index, 0);
    }
    Record(out, 0x00FF, index);
}

}  // namespace

Bytes WorkbookStream(const Sheet& sheet)
{
    Strings strings;
    std::vector<std::uint32_t> cellStrings;
    for (const auto& [position, cell] : sheet) cellStrings.push_back(strings.Add(cell.text));

    // The globals.
    Bytes out;
    Bof(out, 0x0005);
    Bytes codepage;
    U16(codepage, 0x04B0);
    Record(out, 0x0042, codepage);
    Bytes window;
    for (const unsigned value : {0x168u, 0x10Eu, 0x3A5Cu, 0x23BEu, 0x0038u, 0u, 0u, 1u, 0x258u}) U16(window, value);
    Record(out, 0x003D, window);
    for (int i = 0; i < 5; ++i) Font(out);
    Xf(out, 0, 0, 0xFFF5, 0x20, 0x00);  // 0: the Normal style
    for (unsigned i = 1; i <= 14; ++i) Xf(out, i <= 2 ? 1 : i <= 4 ? 2 : 0, 0, 0xFFF5, 0x20, 0xF4);
    Xf(out, 0, 0, 0x0001, 0x20, 0x00);   // 15: the default cell XF
    Xf(out, 0, 49, 0x0001, 0x20, 0x04);  // 16: text cells, format "@"
    Bytes style;
    U16(style, 0x8000);
    U8(style, 0x00);
    U8(style, 0xFF);
    Record(out, 0x0293, style);
    const std::size_t sheetPositionAt = out.size() + 4;
    Bytes boundsheet;
    U32(boundsheet, 0);  // patched below
    U8(boundsheet, 0);
    U8(boundsheet, 0);
    const Bytes name = ShortString("Sheet1");
    boundsheet.insert(boundsheet.end(), name.begin(), name.end());
    Record(out, 0x0085, boundsheet);
    SharedStrings(out, strings);
    Record(out, 0x000A, {});

    // The worksheet, whose BOF position the BOUNDSHEET names.
    const auto sheetStart = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) out[sheetPositionAt + static_cast<std::size_t>(i)] = sheetStart >> (8 * i) & 0xFF;
    Bof(out, 0x0010);
    Bytes wsbool;
    U16(wsbool, 0x0C01);
    Record(out, 0x0081, wsbool);
    // The default width comes before any COLINFO, in the worksheet's record order.
    Bytes defaultWidth;
    U16(defaultWidth, 8);
    Record(out, 0x0055, defaultWidth);
    // Columns A and B wide enough for the labels and values that the export writes.
    for (const auto& [column, characters] : {std::pair{0u, 24u}, std::pair{1u, 22u}}) {
        Bytes colinfo;
        U16(colinfo, column);
        U16(colinfo, column);
        U16(colinfo, characters * 256);
        U16(colinfo, kGeneralXf);
        U16(colinfo, 0);
        U16(colinfo, 0);
        Record(out, 0x007D, colinfo);
    }
    int lastRow = -1, lastColumn = -1;
    for (const auto& [position, cell] : sheet) {
        lastRow = std::max(lastRow, position.first);
        lastColumn = std::max(lastColumn, position.second);
    }
    Bytes dimensions;
    U32(dimensions, 0);
    U32(dimensions, static_cast<std::uint32_t>(lastRow + 1));
    U16(dimensions, 0);
    U16(dimensions, static_cast<unsigned>(lastColumn + 1));
    U16(dimensions, 0);
    Record(out, 0x0200, dimensions);
    std::size_t i = 0;
    for (const auto& [position, cell] : sheet) {
        Bytes label;
        U16(label, static_cast<unsigned>(position.first));
        U16(label, static_cast<unsigned>(position.second));
        U16(label, cell.textFormat ? kCellXf : kGeneralXf);
        U32(label, cellStrings[i++]);
        Record(out, 0x00FD, label);
    }
    Bytes window2;
    U16(window2, 0x06B6);
    U16(window2, 0);
    U16(window2, 0);
    U16(window2, 0x0040);
    for (int k = 0; k < 5; ++k) U16(window2, 0);
    Record(out, 0x023E, window2);
    Record(out, 0x000A, {});
    return out;
}

Bytes CompoundFile(const Bytes& stream)
{
    constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD;
    // At least 4096 bytes: no mini stream is needed.
    const std::size_t padded = std::max<std::size_t>(4096, (stream.size() + 511) / 512 * 512);
    const auto sectors = static_cast<std::uint32_t>(padded / 512);
    // The stream's sectors, then the FAT sectors (128 entries each, covering
    // themselves and the directory too), then the directory sector. The
    // header's 109 DIFAT entries hold a stream of up to about 7 MB.
    std::uint32_t fatSectors = 1;
    while (fatSectors * 128 < sectors + fatSectors + 1) ++fatSectors;
    if (fatSectors > 109) return {};
    const std::uint32_t directory = sectors + fatSectors;

    Bytes out;
    const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (const std::uint8_t byte : signature) out.push_back(byte);
    out.resize(0x18, 0);
    U16(out, 0x003E);
    U16(out, 0x0003);
    U16(out, 0xFFFE);
    U16(out, 9);
    U16(out, 6);
    out.resize(0x28, 0);
    U32(out, 0);
    U32(out, fatSectors);
    U32(out, directory);
    U32(out, 0);
    U32(out, 0x1000);
    U32(out, kEnd);
    U32(out, 0);
    U32(out, kEnd);
    U32(out, 0);
    for (std::uint32_t i = 0; i < 109; ++i) U32(out, i < fatSectors ? sectors + i : kFree);

    out.resize(512 + padded, 0);
    std::copy(stream.begin(), stream.end(), out.begin() + 512);

    for (std::uint32_t i = 0; i < fatSectors * 128; ++i) {
        std::uint32_t entry = kFree;
        if (i + 1 < sectors) entry = i + 1;
        else if (i + 1 == sectors) entry = kEnd;
        else if (i >= sectors && i < directory) entry = kFatSector;
        else if (i == directory) entry = kEnd;
        U32(out, entry);
    }

    const auto entry = [&](const char* name, unsigned type, std::uint32_t child, std::uint32_t start,
                           std::uint32_t size) {
        const std::size_t begin = out.size();
        const std::size_t length = name ? std::strlen(name) : 0;
        for (std::size_t c = 0; c < length; ++c) U16(out, static_cast<unsigned char>(name[c]));
        out.resize(begin + 64, 0);
        U16(out, name ? static_cast<unsigned>((length + 1) * 2) : 0);
        U8(out, type);
        U8(out, name ? 1 : 0);  // black
        U32(out, kFree);
        U32(out, kFree);
        U32(out, child);
        out.resize(begin + 0x74, 0);
        U32(out, start);
        U32(out, size);
        U32(out, 0);
    };
    entry("Root Entry", 5, 1, kEnd, 0);
    entry("Workbook", 2, kFree, 0, static_cast<std::uint32_t>(padded));
    entry(nullptr, 0, kFree, 0, 0);
    entry(nullptr, 0, kFree, 0, 0);
    return out;
}

bool SaveWorkbook(const std::string& path, const Sheet& sheet)
{
    // What the format cannot hold is refused, never written into a file that readers reject.
    for (const auto& [position, cell] : sheet)
        if (position.first < 0 || position.first >= kMaxRows || position.second < 0 ||
            position.second >= kMaxColumns || platform::Utf8ToUtf16(cell.text).size() > kMaxCellCharacters)
            return false;
    const Bytes file = CompoundFile(WorkbookStream(sheet));
    return !file.empty() && platform::WriteWholeFile(platform::PathOf(path), file.data(), file.size());
}

}  // namespace biff8
