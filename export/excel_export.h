// Export To Excel: each chosen test into a workbook of its own, through the
// spreadsheet automation server (Excel, or the built-in workbook server).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/automation.h"
#include "platform/message_box.h"

class CKELFile;

// The chosen tests of the catalogue into a folder the user picks. True when
// every chosen test was exported (or none was chosen).
bool ExportSelectedTests();
// The test file `name` into the workbook at `workbookPath`; true on success.
bool ExportTest(const std::string& name, const std::string& workbookPath);
// Rows 2 onwards of the sheet: by test type, then the readings table.
bool WriteTestSheet(platform::DispatchObject& sheet, const CKELFile& test);
// The formatted text into the cell at `row`, `column` (from 1), as text ("@").
bool WriteCell(platform::DispatchObject& sheet, int row, int column, const char* format, ...) KEL_PRINTF_FORMAT(4, 5);

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif
// The workbook of test file `name` in `folder`: the folder, a separator, the
// name, everything from the path's last "." cut, then ".xls".
std::string WorkbookPath(const std::string& folder, const std::string& name, char separator = kPathSeparator);

// The server the export creates for a ProgID: replaced in tests; by default
// the system's (Excel on Windows) or else the built-in workbook server.
using ServerFactory = std::function<std::shared_ptr<platform::DispatchObject>(const std::string& progId)>;
void SetServerFactory(ServerFactory factory);
