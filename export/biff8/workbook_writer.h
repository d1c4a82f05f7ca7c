// A minimal Excel 97-2003 workbook writer: one worksheet of text cells, in a
// BIFF8 Workbook stream inside a Compound File, the ".xls" format.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace biff8 {

struct Cell {
    std::string text;     // UTF-8
    bool textFormat = true;  // the number format "@"; else General
};

// Cells by (row, column), both from 0; at most 65,536 rows and 256 columns.
using Sheet = std::map<std::pair<int, int>, Cell>;

// The Workbook stream: globals and one worksheet named "Sheet1".
std::vector<std::uint8_t> WorkbookStream(const Sheet& sheet);
// The whole ".xls" file: the Workbook stream in a Compound File.
std::vector<std::uint8_t> CompoundFile(const std::vector<std::uint8_t>& stream);

// Writes the workbook to `path` (the system's name) whole or not at all.
// False, and nothing written, for a cell outside 65,536 rows and 256 columns
// or a text of more than 32,767 characters.
bool SaveWorkbook(const std::string& path, const Sheet& sheet);

}  // namespace biff8
