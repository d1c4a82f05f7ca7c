// Export To Excel: each chosen test into a workbook of its own, through the
// spreadsheet automation server (Excel, or the built-in workbook server).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation.h"
#include "platform/message_box.h"

class CKELFile;

// The chosen tests of the catalogue into a folder the user picks. True when
// every chosen test was exported (or none was chosen).
bool ExportSelectedTests();
// The test file at `testPath` into the workbook at `workbookPath`; true on
// success. Cell B1 holds the file's plain name.
bool ExportTest(const std::string& testPath, const std::string& workbookPath);
// The server calls of one exported test. The first call that fails shows the
// server's text (or "Command failed.") and every later call is not made.
class AutomationCalls {
public:
    std::shared_ptr<platform::DispatchObject> Get(platform::DispatchObject& object, int dispId,
                                                  std::vector<platform::Variant> args = {});
    bool Method(platform::DispatchObject& object, int dispId, std::vector<platform::Variant> args = {});
    // A method whose result is an object (Workbooks.Add).
    std::shared_ptr<platform::DispatchObject> Make(platform::DispatchObject& object, int dispId,
                                                   std::vector<platform::Variant> args);
    bool Put(platform::DispatchObject& object, int dispId, std::string text);

    bool failed = false;

private:
    bool Call(platform::DispatchObject& object, int dispId, int kind, const std::vector<platform::Variant>& args,
              platform::Variant& result);
    std::shared_ptr<platform::DispatchObject> Failed(const std::string& error);
};

// Rows 2 onwards of the sheet: by test type, then the readings table.
bool WriteTestSheet(AutomationCalls& calls, platform::DispatchObject& sheet, const CKELFile& test);
// The formatted text into the cell at `row`, `column` (from 1), as text ("@").
bool WriteCell(AutomationCalls& calls, platform::DispatchObject& sheet, int row, int column, const char* format, ...)
    KEL_PRINTF_FORMAT(5, 6);

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif
// The workbook of test file `name` in `folder`: the folder, a separator, the
// name without everything from its last ".", then ".xls".
std::string WorkbookPath(const std::string& folder, const std::string& name, char separator = kPathSeparator);

// The workbooks one export run has written, so that a second test that maps to
// the same workbook (T.kel and T.KEL, or a/T.kel and b/T.kel) is refused instead
// of replacing the first one's export.
class WorkbooksOfOneRun {
public:
    // True when `workbook` is still free in this run; otherwise says so (an
    // application message box naming both tests) and returns false.
    bool Claim(const std::string& workbook, const std::string& testPath);

private:
    std::vector<std::pair<std::string, std::string>> written_;
};

// The server the export creates for a ProgID: replaced in tests; by default
// the system's (Excel on Windows) or else the built-in workbook server.
using ServerFactory = std::function<std::shared_ptr<platform::DispatchObject>(const std::string& progId)>;
void SetServerFactory(ServerFactory factory);
