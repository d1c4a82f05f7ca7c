#include "export/excel_export.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>

#include "export/builtin_server.h"
#include "platform/names.h"
#include "testfile/kel_file.h"
#include "testfile/kel_test_list.h"
#include "testfile/latin1.h"
#include "testfile/results_description.h"

using platform::DispatchObject;
using platform::Variant;
using namespace export_server;

namespace {

// The services' server; by default the system's (Excel on Windows), or else the built-in workbook server.
std::shared_ptr<DispatchObject> CreateServer(const platform::Services& services, const std::string& progId)
{
    if (services.serverFactory) return services.serverFactory(progId);
    if (auto system = platform::CreateSystemDispatch(progId)) return system;
    return CreateBuiltinApplication();
}

}  // namespace

std::shared_ptr<DispatchObject> AutomationCalls::Get(DispatchObject& object, int dispId, std::vector<Variant> args)
{
    Variant result;
    if (!Call(object, dispId, platform::kDispatchPropertyGet, args, result)) return nullptr;
    if (result.type != Variant::Type::Dispatch || !result.dispatch) return Failed("");
    return result.dispatch;
}

bool AutomationCalls::Method(DispatchObject& object, int dispId, std::vector<Variant> args)
{
    Variant result;
    return Call(object, dispId, platform::kDispatchMethod, args, result);
}

std::shared_ptr<DispatchObject> AutomationCalls::Make(DispatchObject& object, int dispId, std::vector<Variant> args)
{
    Variant result;
    if (!Call(object, dispId, platform::kDispatchMethod, args, result)) return nullptr;
    if (result.type != Variant::Type::Dispatch || !result.dispatch) return Failed("");
    return result.dispatch;
}

bool AutomationCalls::Put(DispatchObject& object, int dispId, std::string text)
{
    Variant result;
    return Call(object, dispId, platform::kDispatchPropertyPut, {Variant::Text(std::move(text))}, result);
}

bool AutomationCalls::Call(DispatchObject& object, int dispId, int kind, const std::vector<Variant>& args,
                           Variant& result)
{
    if (failed) return false;
    std::string error;
    if (object.Invoke(dispId, kind, args, result, error)) return true;
    Failed(error);
    return false;
}

std::shared_ptr<DispatchObject> AutomationCalls::Failed(const std::string& error)
{
    if (!failed) {
        failure = Status::Of(Problem::ServerFailed);
        failure.detail = error;
    }
    failed = true;
    return nullptr;
}

std::string WorkbookPath(const std::string& folder, const std::string& name, char separator, const char* extension)
{
    // Only the file name loses its extension: a dot in a folder name is no extension.
    std::string stem = name;
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string::npos) stem.erase(dot);
    return folder + separator + stem + extension;
}

Status WorkbooksOfOneRun::Claim(const std::string& workbook, const std::string& testPath)
{
    for (const auto& [written, from] : written_)
        if (written == workbook) return {Problem::WorkbookTaken, testPath, workbook, from, 0};
    written_.emplace_back(workbook, testPath);
    return {};
}

namespace {

// One cell: its range, the text format "@" first, so numbers and dates stay
// text, then the value; `utf8` is what the cell shows.
bool PutCellText(AutomationCalls& calls, DispatchObject& sheet, int row, int column, const std::string& utf8)
{
    char cell[16];
    std::snprintf(cell, sizeof cell, "%c%d", column + 64, row);
    const std::shared_ptr<DispatchObject> range = calls.Get(sheet, kRange, {Variant::Text(cell), Variant::Text(cell)});
    return range && calls.Put(*range, kNumberFormat, "@") && calls.Put(*range, kValue2, utf8);
}

}  // namespace

bool WriteCell(AutomationCalls& calls, DispatchObject& sheet, int row, int column, const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // The labels are ASCII and the values texts of the test file: Latin-1.
    return PutCellText(calls, sheet, row, column, Latin1ToUtf8(text));
}

bool WriteTestSheet(AutomationCalls& calls, DispatchObject& sheet, const CKELFile& test)
{
    bool ok = WriteCell(calls, sheet, 2, 1, "Test Number:") && WriteCell(calls, sheet, 2, 2, "%d", test.testNumber) &&
              WriteCell(calls, sheet, 3, 1, "Date:") &&
              WriteCell(calls, sheet, 3, 2, "%d/%d/%d", test.dateParts[0], test.dateParts[1], test.dateParts[2]) &&
              WriteCell(calls, sheet, 4, 1, "Time:") &&
              WriteCell(calls, sheet, 4, 2, "%d:%d:%d", test.timeParts[0], test.timeParts[1], test.timeParts[2]);
    int row = 5;
    // A label in A and a text in B, on the next row.
    const auto line = [&](const char* label, const char* value) {
        ok = ok && WriteCell(calls, sheet, row, 1, "%s", label) && WriteCell(calls, sheet, row, 2, "%s", value);
        ++row;
    };
    line("Company:", test.company);
    line("Location:", test.location);
    line("Description:", test.description);
    line("Operator:", test.operatorName);
    line("Test Type:", test.testTypeName);
    for (const TestResult& result : DescribeResults(test)) {
        if (!result.inWorkbook) continue;
        if (result.unit.empty()) {
            line(result.label.c_str(), result.value.c_str());
            continue;
        }
        ok = ok && WriteCell(calls, sheet, row, 1, "%s", result.label.c_str()) &&
             WriteCell(calls, sheet, row, 2, "%s", result.value.c_str()) &&
             WriteCell(calls, sheet, row, 3, "%s", result.unit.c_str());
        ++row;
    }
    if (HasTimeTable(test)) {
        // Readings at 15, 30, 45 s and every minute to 15, as far as the test went.
        for (const TimeTableEntry& reading : TimeTable(test)) {
            ok = ok && WriteCell(calls, sheet, row, 1, "%s", reading.label.c_str()) &&
                 WriteCell(calls, sheet, row, 2, "%s", reading.value.c_str());
            ++row;
        }
    }
    return ok;
}

Status ExportTest(const platform::Services& services, const std::string& testPath, const std::string& workbookPath)
{
    CKELFile test;
    if (Status loaded = test.Load(testPath, 1); !loaded) return loaded;
    // B1 holds the test file's plain name, however the file was reached.
    const std::string name = platform::NameOf(platform::PathOf(testPath).filename());
    std::shared_ptr<DispatchObject> application = CreateServer(services, "Excel.Application");
    if (!application) return Status::Of(Problem::ServerUnavailable);
    AutomationCalls calls;
    std::shared_ptr<DispatchObject> workbooks = calls.Get(*application, kWorkbooks);
    std::shared_ptr<DispatchObject> workbook = workbooks ? calls.Make(*workbooks, kAdd, {Variant::Optional()}) : nullptr;
    std::shared_ptr<DispatchObject> sheets = workbook ? calls.Get(*workbook, kSheets) : nullptr;
    std::shared_ptr<DispatchObject> sheet = sheets ? calls.Get(*sheets, kItem, {Variant::Short(1)}) : nullptr;
    // B1 is a file name, not a text of the file: it reaches the cell by the system's rule for names.
    bool ok = sheet && WriteCell(calls, *sheet, 1, 1, "Filename:") && PutCellText(calls, *sheet, 1, 2, platform::NameToUtf8(name)) &&
              WriteTestSheet(calls, *sheet, test);
    if (ok) {
        std::vector<Variant> saveArgs = {Variant::Text(platform::NameToUtf8(workbookPath))};
        for (int i = 0; i < 9; ++i) saveArgs.push_back(Variant::Optional());
        calls.Method(*sheet, kSaveAs, saveArgs);
        ok = !calls.failed;
    }
    // A failed call ends the command: no Quit then.
    if (ok) calls.Method(*application, kQuit);
    ok = ok && !calls.failed;
    sheets.reset();
    sheet.reset();
    workbook.reset();
    workbooks.reset();
    application.reset();
    if (calls.failed) return calls.failure;
    return ok ? Status{} : Status::Of(Problem::ServerFailed);
}

Status ExportTests(const std::vector<TestToExport>& tests, const std::string& folder, const char* extension,
                   const OneTestExport& exportOne, const ExportStep& onEach)
{
    WorkbooksOfOneRun run;
    for (const TestToExport& test : tests) {
        // T.kel and T.KEL both make T.xls: the second would replace the first.
        const std::string output =
            WorkbookPath(folder, platform::NameOf(platform::PathOf(test.path).filename()), kPathSeparator, extension);
        Status outcome = run.Claim(output, test.name);
        if (outcome) outcome = exportOne(test.path, output);
        if (!onEach(test, output, outcome)) return outcome;
    }
    return {};
}

Status ExportSelectedTests(const CKELTestList& catalogue, const platform::Services& services, const std::string& folder,
                           ExportedFiles* written)
{
    return ExportChosenTests(
        catalogue, folder, ".xls",
        [&services](const std::string& test, const std::string& workbook) { return ExportTest(services, test, workbook); },
        written);
}

Status ExportChosenTests(const CKELTestList& catalogue, const std::string& folder, const char* extension,
                         const OneTestExport& exportOne, ExportedFiles* written)
{
    // No folder is not the root of the file system.
    if (folder.empty()) return Status::Of(Problem::Aborted);
    if (written) *written = {0, folder};
    std::vector<TestToExport> tests;
    for (int i = 0; i < catalogue.fileCount; ++i)
        if (catalogue.selected[i]) tests.push_back({catalogue.PathOf(i), catalogue.fileNames[i]});
    // The first failure ends the export.
    return ExportTests(tests, folder, extension, exportOne, [written](const TestToExport&, const std::string&, const Status& outcome) {
        if (outcome && written) ++written->count;
        return outcome.Ok();
    });
}
