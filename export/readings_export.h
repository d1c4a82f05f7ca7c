// The readings of a test as numbers, beside the Excel 97-2003 export: a
// workbook (.xlsx) with a summary sheet of typed values, a sheet of the
// readings and native charts of resistance and current, and a CSV file of the
// same readings. Each file appears whole or not at all.
#pragma once

#include <string>

#include "status/status.h"

class CKELFile;

// The readings of `test` (loaded with its samples) as CSV: "Time (s)",
// "Voltage (V)", "Current (A)", "Resistance (Ω)", one row per second, RFC 4180
// with CRLF line ends, UTF-8, '.' as decimal point, each number the shortest
// text that reads back as the same 32-bit float. A second without current (over
// range) has empty current and resistance fields.
std::string ReadingsCsv(const CKELFile& test);

// The test file at `testPath` into the CSV file at `csvPath`.
Status ExportReadingsCsv(const std::string& testPath, const std::string& csvPath);
// The test file at `testPath` into the workbook at `workbookPath`.
Status ExportReadingsWorkbook(const std::string& testPath, const std::string& workbookPath);
