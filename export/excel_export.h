// Export To Excel: each chosen test into a workbook of its own, through the
// spreadsheet automation server (Excel, or the built-in workbook server).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation.h"
#include "services/message_box.h"
#include "services/services.h"
#include "status/status.h"

class CKELFile;
class CKELTestList;

// What an export wrote: how many files, and the folder they are in.
struct ExportedFiles {
    int count = 0;
    std::string folder;
};

// One test of an export run: its file, and its name as messages show it.
struct TestToExport {
    std::string path;
    std::string name;
};
// One test into one output file.
using OneTestExport = std::function<Status(const std::string& testPath, const std::string& outputPath)>;
// Hears each test's output file and outcome, as it is done; false stops the run.
using ExportStep = std::function<bool(const TestToExport& test, const std::string& outputPath, const Status& outcome)>;

// The one export loop: each test through `exportOne` into its file in
// `folder`, named like its workbook but ending in `extension`. A second test
// that would take a file of this run is refused (WorkbookTaken) and not
// exported. Returns Ok, or the outcome of the test at which `onEach` stopped.
Status ExportTests(const std::vector<TestToExport>& tests, const std::string& folder, const char* extension,
                   const OneTestExport& exportOne, const ExportStep& onEach);

// The chosen tests of `catalogue` into workbooks in `folder` (which the front
// end has chosen). Ok when every chosen test was exported (or none was
// chosen); else why the first failed, which ends the export. `written` (when
// given) hears what was written, also when it failed later.
Status ExportSelectedTests(const CKELTestList& catalogue, const platform::Services& services, const std::string& folder,
                           ExportedFiles* written = nullptr);
// The same for any export of one test into one file.
Status ExportChosenTests(const CKELTestList& catalogue, const std::string& folder, const char* extension,
                         const OneTestExport& exportOne, ExportedFiles* written = nullptr);
// The test file at `testPath` into the workbook at `workbookPath`, through the
// services' spreadsheet server. Cell B1 holds the file's plain name.
Status ExportTest(const platform::Services& services, const std::string& testPath, const std::string& workbookPath);
// The server calls of one exported test. The first call that fails keeps the
// server's text (ServerFailed) and every later call is not made.
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
    Status failure;

private:
    bool Call(platform::DispatchObject& object, int dispId, int kind, const std::vector<platform::Variant>& args,
              platform::Variant& result);
    std::shared_ptr<platform::DispatchObject> Failed(const std::string& error);
};

// Rows 2 onwards of the sheet: the header texts, the test's results, then the time table.
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
// name without everything from its last ".", then ".xls" (or `extension`: the
// readings workbook and CSV file are named alike).
std::string WorkbookPath(const std::string& folder, const std::string& name, char separator = kPathSeparator,
                         const char* extension = ".xls");

// The workbooks one export run has written, so that a second test that maps to
// the same workbook (T.kel and T.KEL, or a/T.kel and b/T.kel) is refused instead
// of replacing the first one's export.
class WorkbooksOfOneRun {
public:
    // Ok when `workbook` is still free in this run; otherwise WorkbookTaken,
    // naming both tests.
    Status Claim(const std::string& workbook, const std::string& testPath);

private:
    std::vector<std::pair<std::string, std::string>> written_;
};
