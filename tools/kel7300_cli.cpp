// kel7300-cli: test files, the test folder and (later) the tester from the command line.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#ifdef _WIN32
#include <io.h>
#include <ole2.h>
#define isatty _isatty
#define STDIN_FILENO 0
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/kel_context.h"
#include "export/excel_export.h"
#include "export/readings_export.h"
#include "instrument/download.h"
#include "platform/atomic_file.h"
#include "platform/names.h"
#include "services/message_box.h"
#include "platform/serial_port.h"
#include "testfile/kel_file.h"
#include "testfile/latin1.h"
#include "testfile/results_description.h"
#include "tools/archive_command.h"
#include "tools/cli_output.h"
#include "tools/demo_set.h"
#include "tools/trend_command.h"
#ifdef KEL_HAVE_RENDER
#include "tools/render_command.h"
#include "tools/report_command.h"
#endif

namespace {

using Json = nlohmann::ordered_json;
using cli::Fail;
using cli::kPartial;
using cli::Printable;


// What went wrong, on standard error: the program's message ("caption: text"),
// or for a file that holds no test, a line of the tool's own.
void Tell(const Status& status, const std::string& file = {})
{
    platform::StderrMessagePresenter presenter;
    if (status.problem == Problem::NotATest && !file.empty())
        Fail(cli::NotATestLine(file, status));
    else
        Report(presenter, status);
    // What happened on the serial line, where it failed: a time-out is not a pulled cable.
    if (status.cause != LineCause::None) Fail("the serial line: " + CauseText(status));
}

// A float as the shortest decimal that %.9g prints, so the 32-bit value round-trips.
Json FloatJson(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return Json(std::strtod(text, nullptr));
}


Json TextJson(const char* text)
{
    return Json(Latin1ToUtf8(text));
}

Json MeasuredJson(const MeasuredValue& measured)
{
    return Json{{"value", FloatJson(measured.value)}, {"unit", Latin1ToUtf8(std::string(1, measured.unit))}};
}

Json ArrayJson(const float* values, int count)
{
    Json array = Json::array();
    for (int i = 0; values && i < count; ++i) array.push_back(FloatJson(values[i]));
    return array;
}

// Every field of the record that its load set, in declared order.
Json RecordJson(const CKELFile& record, bool withSamples)
{
    Json json;
    json["path"] = record.path;  // as the system names it, not a file text
    json["testNumber"] = record.testNumber;
    json["dateParts"] = {record.dateParts[0], record.dateParts[1], record.dateParts[2]};
    json["timeParts"] = {record.timeParts[0], record.timeParts[1], record.timeParts[2]};
    json["dateText"] = TextJson(record.dateText);
    json["timeText"] = TextJson(record.timeText);
    json["dateTimeText"] = TextJson(record.dateTimeText);
    json["testType"] = record.testType;
    json["testTypeName"] = TextJson(record.testTypeName);
    json["operatorName"] = TextJson(record.operatorName);
    json["description"] = TextJson(record.description);
    json["location"] = TextJson(record.location);
    json["company"] = TextJson(record.company);
    json["finalResistanceText"] = TextJson(record.finalResistanceText);
    json["testVoltageText"] = TextJson(record.testVoltageText);
    json["finalCurrentText"] = TextJson(record.finalCurrentText);
    json["capacitanceText"] = TextJson(record.capacitanceText);
    json["durationText"] = TextJson(record.durationText);
    json["humFrequencyText"] = TextJson(record.humFrequencyText);
    const kel::TestValues& values = record.values;
    const bool stepVoltage = HasSteps(values.type);
    if (stepVoltage) json["stepIntervalText"] = TextJson(record.stepIntervalText);
    json["testTypeCode"] = TextJson(record.testTypeCode);
    json["sampleCount"] = record.sampleCount;
    if (withSamples) {
        json["currents"] = ArrayJson(record.currents.get(), record.sampleCount);
        json["resistances"] = ArrayJson(record.resistances.get(), record.sampleCount);
    }
    if (stepVoltage) {
        json["stepCount"] = record.stepCount;
        json["stepIntervalSeconds"] = record.stepIntervalSeconds;
        Json lines = Json::array();
        for (int i = 0; i < record.stepCount; ++i) lines.push_back(TextJson(record.stepResultText[i]));
        json["stepResultText"] = lines;
    }
    json["finalCurrent"] = MeasuredJson(record.finalCurrent);
    json["finalResistance"] = MeasuredJson(record.finalResistance);
    if (HasEquivalentResistances(record)) {
        const bool measured = values.equivRes40C.state != kel::Presence::NotMeasured;
        if (measured) json["equivRes40C"] = MeasuredJson(values.equivRes40C.tester);
        json["equivRes40CText"] = TextJson(record.equivRes40CText);
        if (measured) json["equivRes20C"] = FloatJson(values.equivRes20C.tester.value);
        json["equivRes20CText"] = TextJson(record.equivRes20CText);
    }
    json["testVoltage"] = record.testVoltage;
    json["piRatioText"] = TextJson(record.piRatioText);
    json["ddRatioText"] = TextJson(record.ddRatioText);
    json["resistanceAt1MinText"] = TextJson(record.resistanceAt1MinText);
    json["currentAt1MinText"] = TextJson(record.currentAt1MinText);
    json["hasTemperature"] = record.hasTemperature;
    if (record.hasTemperature) json["temperatureText"] = TextJson(record.temperatureText);
    json["hasCapacitance"] = record.hasCapacitance;
    return json;
}

// "name: value" lines; texts bare, lists space-separated, measured values as "value unit".
void PrintFields(const Json& json)
{
    for (const auto& [key, value] : json.items()) {
        std::cout << key << ":";
        if (value.is_string()) {
            std::cout << " " << Printable(value.get<std::string>());
        } else if (value.is_object()) {
            std::cout << " " << value["value"].dump() << " " << Printable(value["unit"].get<std::string>());
        } else if (value.is_array() && !value.empty() && value[0].is_string()) {
            for (const auto& item : value) std::cout << "\n  " << Printable(item.get<std::string>());
        } else if (value.is_array()) {
            for (const auto& item : value)
                std::cout << " " << (item.is_string() ? Printable(item.get<std::string>()) : item.dump());
        } else {
            std::cout << " " << value.dump();
        }
        std::cout << "\n";
    }
}

int RunInfo(const std::vector<std::string>& files, bool asJson, bool withSamples)
{
    int status = 0;
    for (const std::string& file : files) {
        CKELFile record;
        if (Status loaded = record.Load(file, withSamples ? 1 : 0); !loaded) {
            Tell(loaded, file);
            status = 1;
            continue;
        }
        if (asJson) {
            std::cout << cli::JsonLine(RecordJson(record, withSamples)) << "\n";
            continue;
        }
        PrintFields(RecordJson(record, false));
        if (withSamples) {
            std::cout << "second\tcurrent\tresistance\n";
            for (int k = 0; k < record.sampleCount; ++k)
                std::cout << k + 1 << "\t" << FloatJson(record.currents[k]).dump() << "\t"
                          << FloatJson(record.resistances[k]).dump() << "\n";
        }
        if (&file != &files.back()) std::cout << "\n";
    }
    return status;
}

// Every test file of the folder, however many: the catalogue's columns in its
// order. A file that could not be opened (it vanished since the folder was
// read, say) is named and left out: status 2.
int RunList(const std::string& folder, bool asJson)
{
    std::error_code error;
    std::filesystem::directory_iterator probe(platform::PathOf(folder), error);
    if (error) {
        Fail("can't open folder " + folder + ": " + error.message());
        return 1;
    }
    int leftOut = 0;
    ForEachCatalogueEntry(platform::NameOf(std::filesystem::absolute(platform::PathOf(folder), error)), [&](const CatalogueEntry& entry) {
        if (!entry.problem) {
            Fail(entry.fileName + ": can't be read; left out");
            ++leftOut;
            return true;
        }
        const std::string columns[] = {entry.fileName, entry.typeCode,    entry.dateText,    entry.company,
                                       entry.location, entry.description, entry.operatorName};
        if (asJson) {
            static const char* const kNames[] = {"fileNames", "typeCodes", "dateTexts", "companies",
                                                 "locations", "descriptions", "operators"};
            Json json;
            // The file name is the system's; the six other columns are Latin-1 file texts.
            for (int c = 0; c < 7; ++c) json[kNames[c]] = c == 0 ? columns[c] : Latin1ToUtf8(columns[c]);
            std::cout << cli::JsonLine(json) << "\n";
        } else {
            for (int c = 0; c < 7; ++c)
                std::cout << (c ? "\t" : "") << Printable(c == 0 ? columns[c] : Latin1ToUtf8(columns[c]));
            std::cout << "\n";
        }
        return true;
    });
    return leftOut > 0 ? kPartial : 0;
}

struct TextEdits {
    std::optional<std::string> operatorName, description, location, company;
};

// Stores `utf8` as a header text: Latin-1, at most 20 characters, cut without a message.
void SetText(char (&field)[21], const std::optional<std::string>& utf8)
{
    if (!utf8) return;
    std::snprintf(field, sizeof field, "%.20s", Utf8ToLatin1(*utf8).c_str());
}

int RunSetTexts(const std::string& file, const TextEdits& edits)
{
    // A test file holds Latin-1: a text it cannot hold is refused, not saved with "?".
    for (const auto& [option, text] : {std::pair{"--operator", &edits.operatorName}, {"--description", &edits.description},
                                       {"--location", &edits.location}, {"--company", &edits.company}}) {
        if (*text && !FitsLatin1(**text)) {
            Fail(std::string(option) + " \"" + **text + "\": a test file holds Latin-1 characters only");
            return 1;
        }
    }
    CKELFile record;
    if (Status loaded = record.Load(file, 0); !loaded) {
        Tell(loaded, file);
        return 1;
    }
    SetText(record.operatorName, edits.operatorName);
    SetText(record.description, edits.description);
    SetText(record.location, edits.location);
    SetText(record.company, edits.company);
    const Status written = record.WriteHeaderTexts();
    Tell(written);
    return written ? 0 : 1;
}

int RunMakeDemo(const std::string& folder, bool force)
{
    std::vector<std::string> written;
    std::string error;
    const bool ok = WriteDemoTests(folder, &written, &error, force);
    for (const std::string& path : written) std::cout << Printable(path) << "\n";
    if (!ok) Fail(error);
    return ok ? 0 : 1;
}

int RunRevision(CKELDevice& kelDevice)
{
    char text[8];
    const Status ok = kelDevice.GetRevision(text);
    Tell(ok);
    std::cout << "KEL-7300 Version: " << Printable(Latin1ToUtf8(text)) << "\n";
    if (!ok) Fail("the tester did not answer");
    return ok ? 0 : 1;
}

int RunDirectory(CKELDevice& kelDevice, bool asJson)
{
    if (Status read = kelDevice.ReadDirectory(); !read) {
        Tell(read);
        return 1;
    }
    for (int i = 0; i < kelDevice.entryCount; ++i) {
        const DirectoryEntry& e = kelDevice.entries[i];
        if (asJson) {
            Json entry;
            entry["testNumber"] = e.testNumber;
            for (const auto& [key, value] :
                 {std::pair{"dateText", e.dateText}, {"timeText", e.timeText}, {"testTypeText", e.testTypeText},
                  {"testTypeCode", e.testTypeCode}, {"testVoltageText", e.testVoltageText},
                  {"testTimeText", e.testTimeText}, {"company", e.company}, {"location", e.location},
                  {"description", e.description}, {"operatorName", e.operatorName},
                  {"testLengthText", e.testLengthText}})
                entry[key] = TextJson(value);
            std::cout << cli::JsonLine(entry) << "\n";
        } else {
            // As the directory dialog shows the tests.
            char number[16];
            std::snprintf(number, sizeof number, "%04d", e.testNumber);
            std::cout << number;
            for (const char* text : {e.dateText, e.timeText, e.testTypeCode, e.company, e.location, e.description})
                std::cout << "\t" << Printable(Latin1ToUtf8(text));
            std::cout << "\n";
        }
    }
    return 0;
}

int RunDownload(CSerialCom& channel, const std::string& prefix, const std::vector<int>& tests,
                NameTakenChoice whenTaken)
{
    // The files land in the current folder.
    std::string folder;
    platform::GetCurrentFolder(folder);
    TestTransfer transfer(channel, folder);
    if (tests.size() > TestTransfer::kMaxTests) return Fail("at most 512 tests at a time"), 1;
    for (const int test : tests) {
        const Status problem = transfer.PrefixProblem(prefix, test);
        if (!problem) return Fail(MessageFor(problem).text), 1;
        transfer.testNumbers[transfer.testCount++] = test;
    }
    std::snprintf(transfer.filePrefix, sizeof transfer.filePrefix, "%s", prefix.c_str());
    transfer.onNameTaken = [whenTaken](const std::string&, int) { return whenTaken; };
    bool progressShown = false;
    std::string bytes;  // stands until the next test's first block
    transfer.onProgress = [&](const DownloadProgress& progress) {
        if (progress.bytesTotal > 0) bytes = std::to_string(progress.bytesDone);
        std::cerr << "\rTest: " << progress.testNumber << "  Bytes: " << bytes << "   " << std::flush;
        progressShown = true;
    };
    // A test that failed is said in one line with its number and what happened.
    transfer.onTestDone = [&](int index, const Status& arrived, const Arrival& arrival) {
        if (progressShown) std::cerr << "\n";
        progressShown = false;
        const int test = transfer.testNumbers[index];
        // Only a file this run wrote whole is named; a file that held the test already is said so.
        if (arrived) {
            const std::string note = TestTransfer::ArrivalNote(arrival, folder);
            if (arrival.how == Arrival::AlreadyThere || arrival.how == Arrival::KeptUsersTexts)
                Fail("test " + std::to_string(test) + ": " + note);
            else
                std::cout << Printable(arrival.path) << std::endl;
            return;
        }
        std::string reason = MessageFor(arrived).text;
        if (arrived.problem == Problem::NotTheTest) reason = arrived.detail;
        if (arrived.problem == Problem::NameTaken)
            reason = arrived.subject + " holds " + arrived.detail + "; --replace replaces it, --keep-both keeps both";
        if (arrived.cause != LineCause::None) reason += " (" + CauseText(arrived) + ")";
        Fail("test " + std::to_string(test) + " not downloaded: " + (reason.empty() ? "aborted" : reason));
    };
    return transfer.AllArrived(transfer.DownloadAll()) ? 0 : 1;
}

int RunExport(const platform::Services& services, const std::string& format, const std::string& folder,
              const std::vector<std::string>& testFiles)
{
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(platform::PathOf(folder), error)) {
        Fail("export: " + (folder.empty() ? std::string("--to names no folder") : "no folder " + folder));
        return 1;
    }
    const std::string extension = "." + format;
    std::vector<TestToExport> tests;
    for (const std::string& file : testFiles) tests.push_back({file, file});
    const OneTestExport exportOne = [&](const std::string& test, const std::string& output) {
        return format == "xlsx"  ? ExportReadingsWorkbook(test, output)
               : format == "csv" ? ExportReadingsCsv(test, output)
                                 : ExportTest(services, test, output);
    };
    // Every test is tried: each written file is printed, each failure said.
    int status = 0;
    ExportTests(tests, folder, extension.c_str(), exportOne,
                [&](const TestToExport& test, const std::string& output, const Status& outcome) {
                    // Each file is named as soon as it is whole, so an interrupted run has named what it wrote.
                    if (outcome) {
                        std::cout << Printable(output) << std::endl;
                    } else {
                        Tell(outcome, outcome.problem == Problem::WorkbookTaken ? std::string() : test.path);
                        status = 1;
                    }
                    return true;
                });
    return status;
}

// The serial devices present: where each COMn leads, what is behind it, and whether this user may open it.
int RunPorts(bool asJson)
{
    for (const platform::SerialDeviceInfo& port : platform::ListSerialPorts()) {
        if (asJson) {
            Json entry{{"device", port.device},
                       {"alias", port.alias},
                       {"byId", port.byId},
                       {"comPort", port.comPort == 0 ? Json(nullptr) : Json(port.comPort)},
                       {"vendorId", port.vendorId},
                       {"productId", port.productId},
                       {"manufacturer", port.manufacturer},
                       {"product", port.product},
                       {"serialNumber", port.serialNumber},
                       {"accessible", port.accessible},
                       {"group", port.group}};
            std::cout << cli::JsonLine(entry) << "\n";
            continue;
        }
        std::cout << (port.comPort ? "COM" + std::to_string(port.comPort) : std::string("-")) << "\t"
                  << Printable(port.device + (port.alias ? " (alias)" : "")) << "\t"
                  << Printable(port.manufacturer + " " + port.product) << "\t"
                  << (port.byId.empty() ? "-" : Printable(port.byId)) << "\t"
                  << (port.accessible ? "ok" : "no access (group " + port.group + ")") << "\n";
        if (!port.accessible)
            Fail(port.device + " belongs to the group " + port.group + "; to use it: sudo usermod -aG " + port.group +
                 " $USER, then log in again");
    }
    return 0;
}

// Probes every port present with the handshake and names the one the tester answers on.
int RunFind(CKELDevice& kelDevice)
{
    const std::vector<int> ports = CKELDevice::PresentPorts();
    const int found = kelDevice.FindTester(ports, [](int port) {
        std::cerr << "probing COM" << port << " (" << Printable(platform::DescribePort(port)) << ")\n";
        return true;
    });
    if (found == 0) {
        Fail("no port answers as a KEL-7300 (" + std::to_string(ports.size()) + " probed)");
        return 1;
    }
    std::cout << "COM" << found << "\t" << Printable(platform::DescribePort(found)) << "\n";
    return 0;
}

// Erases tests the tester lists, after the user said yes: at a terminal by a
// question, elsewhere only with --yes. A number the directory does not list is
// refused, and nothing is erased then.
int RunErase(CKELDevice& kelDevice, const std::vector<int>& tests, bool yes)
{
    if (Status read = kelDevice.ReadDirectory(); !read) {
        Tell(read);
        return 1;
    }
    std::vector<int> unknown;
    for (const int test : tests) {
        bool listed = false;
        for (int i = 0; i < kelDevice.entryCount && !listed; ++i) listed = kelDevice.entries[i].testNumber == test;
        if (!listed) unknown.push_back(test);
    }
    for (const int test : unknown) Fail("erase: the KEL-7300 holds no test " + std::to_string(test));
    if (!unknown.empty()) return 1;
    if (!yes) {
        if (!isatty(STDIN_FILENO)) {
            Fail("erase: an erased test cannot be brought back; give --yes to erase without a question");
            return 1;
        }
        std::cerr << "Erase test" << (tests.size() > 1 ? "s" : "");
        for (const int test : tests) std::cerr << " " << test;
        std::cerr << " on the KEL-7300? An erased test cannot be brought back. [y/N] " << std::flush;
        std::string answer;
        std::getline(std::cin, answer);
        if (answer != "y" && answer != "Y" && answer != "yes" && answer != "YES") {
            Fail("erase: nothing erased");
            return 1;
        }
    }
    int status = 0;
    for (const int test : tests) {
        const Status erased = kelDevice.EraseTest(test);
        Tell(erased);
        if (!erased) status = 1;
    }
    return status;
}

}  // namespace

int Run(int argc, char** argv)
{
    // Ctrl+C during a download leaves no temporary file behind.
    platform::RemoveTemporaryFilesOnInterrupt();
#ifdef _WIN32
    OleInitialize(nullptr);  // export drives Excel through automation when it is installed
#endif

    CLI::App app{"kel7300-cli: KEL-7300 test files and test folders from the command line.\n"
                 "Messages go to standard error; the exit status is 0 when everything succeeded, 2 when list, "
                 "report or trend did their work but left files or folders out (each is named), 1 otherwise."};
    app.require_subcommand(1);
    int port = 1;
    app.add_option("--port", port, "the COM port of the tester (1 to 100; default 1)")->check(CLI::Range(1, 100));

    bool asJson = false;
    bool withSamples = false;
    std::vector<std::string> files;
    auto* info = app.add_subcommand("info", "Print every field of the test record of each FILE.");
    info->add_flag("--json", asJson, "one JSON object per file on one line, keyed by the record's field names");
    info->add_flag("--samples", withSamples, "load the samples too and print the currents and resistances");
    info->add_option("FILE", files, "test files (.kel)")->required();

    std::string folder = ".";
    auto* list = app.add_subcommand("list", "List the test files of DIR in catalogue order: file name, type code, "
                                            "date, company, location, description, operator.");
    list->add_flag("--json", asJson, "one JSON object per entry, keyed by the catalogue's column names");
    list->add_option("DIR", folder, "the test folder (default: the current folder)");

    std::string file;
    TextEdits edits;
    auto* setTexts = app.add_subcommand("set-texts", "Replace header texts of FILE (at most 20 characters each; "
                                                     "longer texts are cut). The file is rewritten whole, only "
                                                     "its texts changed.");
    setTexts->add_option("FILE", file, "test file (.kel)")->required();
    setTexts->add_option("--operator", edits.operatorName, "operator");
    setTexts->add_option("--description", edits.description, "description");
    setTexts->add_option("--location", edits.location, "location");
    setTexts->add_option("--company", edits.company, "company");

    std::string demoFolder;
    bool force = false;
    auto* makeDemo = app.add_subcommand("make-demo", "Write a set of realistic demo test files Test1.kel ... into "
                                                     "DIR, one or more of each test type. Nothing is written when "
                                                     "any of their names exists in DIR.");
    makeDemo->add_option("DIR", demoFolder, "folder for the demo files (made when missing)")->required();
    makeDemo->add_flag("--force", force, "replace files of those names");

    auto* revision = app.add_subcommand("revision", "Ask the tester for its version.");
    auto* dir = app.add_subcommand("dir", "List the tests the tester holds, as the directory dialog does: test "
                                          "number, date, time, type code, company, location, description.");
    dir->add_flag("--json", asJson, "one JSON object per test with every field of the directory entry");
    std::string prefix = "Test";
    std::vector<int> testNumbers;
    auto* download = app.add_subcommand(
        "download", "Download tests into PREFIXnumber.kel files in the current folder, with progress on standard "
                    "error. A file that holds the test already is left as it is (also with corrected texts); a "
                    "file of the name that holds another test, or none, is kept and the test refused, unless "
                    "--replace or --keep-both is given.");
    download->add_option("--prefix", prefix, "file-name prefix (default Test)");
    download->add_option("TEST", testNumbers, "test numbers")->required();
    bool replace = false;
    bool keepBoth = false;
    auto* replaceFlag = download->add_flag("--replace", replace,
                                           "replace a file of the test's name that holds another test or none");
    download->add_flag("--keep-both", keepBoth, "keep such a file and save the test as NAME (2).kel")
        ->excludes(replaceFlag);
    std::vector<int> eraseNumbers;
    bool eraseYes = false;
    auto* erase = app.add_subcommand("erase", "Erase tests on the tester, each of which its directory must list. "
                                              "At a terminal it asks first; elsewhere it needs --yes.");
    erase->add_option("TEST", eraseNumbers, "test numbers")->required();
    erase->add_flag("--yes", eraseYes, "erase without asking");
    auto* panel = app.add_subcommand("panel", "Return the tester to its front panel control.");
    auto* ports = app.add_subcommand("ports", "List the serial devices present: the COMn each is, its device and "
                                              "stable name, the USB adapter's names, and whether you may open it.");
    ports->add_flag("--json", asJson, "one JSON object per device");
    auto* find = app.add_subcommand("find", "Probe each serial port present with the tester's handshake (3 s each) "
                                            "and print the one that answers.");
    std::string exportFolder;
    std::vector<std::string> exportFiles;
    auto* exportCommand = app.add_subcommand("export", "Export each test file into an Excel 97-2003 workbook "
                                                       "(.xls) of its own in DIR.");
    std::string exportFormat = "xls";
    exportCommand->add_option("--to", exportFolder, "the folder for the workbooks")->required();
    exportCommand->add_option("--format", exportFormat,
                              "xls (default): the header and readings as text, as Export To Excel writes them; "
                              "xlsx: typed values, the readings as numbers and charts of resistance and current; "
                              "csv: the readings as numbers")
        ->check(CLI::IsMember({"xls", "xlsx", "csv"}));
    exportCommand->add_option("FILE", exportFiles, "test files (.kel)")->required();

    TrendOptions trend;
    auto* trendCommand = app.add_subcommand(
        "trend", "The history of every asset (the equipment its company, location and description name) across "
                 "test files: the one-minute resistance, as measured and corrected to 40 C, PI, DD and DAR of each "
                 "test in time order, flagged against the minimums and a drop below half the last corrected "
                 "reading.");
    trendCommand->add_option("PATH", trend.paths, "test files, or folders searched recursively for .kel files")
        ->required();
    trendCommand->add_flag("--json", trend.json, "one JSON object per asset per line");
    trendCommand->add_flag("--csv", trend.csv, "one CSV row per test (RFC 4180, UTF-8), the asset's texts first; a "
                                               "text that begins with =, +, -, @, a tab or a carriage return is "
                                               "written with a leading single quote, so that no spreadsheet takes "
                                               "it as a formula");
    trendCommand->add_option("--min-ir", trend.minIr, "minimum insulation resistance in ohms, with k, M, G or T "
                                                      "(default 100M)");
    trendCommand->add_option("--min-pi", trend.minPi, "minimum polarization index (default 2.0)");
    trendCommand->add_option("--asset", trend.asset, "only assets whose company, location or description "
                                                     "contains TEXT, in any case");
    trendCommand->add_option("-o,--output", trend.output, "FILE.png (one asset) or FILE.pdf (a page per asset): "
                                                          "the trend pages");
    trendCommand->add_flag("--follow", trend.follow, "follow links to folders found inside the folders named "
                                                     "(each folder is still read once)");

    ArchiveOptions archiveOptions;
    CLI::App* archiveCommand = AddArchiveCommand(app, archiveOptions);

#ifdef KEL_HAVE_RENDER
    RenderOptions render;

    auto* renderCommand = app.add_subcommand("render", "Draw the report page of one to four test files (the first "
                                                       "one's header and results, all of them overlaid in the plots).");
    renderCommand->add_option("FILE", render.files, "test files (.kel), at most four are drawn")->required();
    renderCommand->add_option("-o,--output", render.output,
                              "OUT.png: the screen page (with --paper the printed page) at --size; "
                              "OUT.pdf: the printed page on one landscape sheet at 600 dpi")
        ->required();
    renderCommand->add_option("--size", render.size, "WIDTHxHEIGHT of a PNG in pixels (default 1600x1000)");
    renderCommand->add_flag("--paper", render.paper, "draw a PNG as the printed page instead of the screen page");
    renderCommand->add_option("--zoom", render.zoom, "draw only the resistance or the current plot, as zoomed")
        ->check(CLI::IsMember({"resistance", "current"}));

    ReportOptions report;
    auto* reportCommand = app.add_subcommand("report", "The report page of each test, alone on a sheet of its own, "
                                                       "in one PDF: test files in the order given, folders in "
                                                       "catalogue order, then their subfolders. Unreadable files "
                                                       "and folders are named and left out (exit status 2).");
    reportCommand->add_option("PATH", report.paths, "test files (.kel) or folders")->required();
    reportCommand->add_option("-o,--output", report.output, "REPORT.pdf")->required();
    reportCommand->add_flag("--recursive", report.recursive, "search folders' subfolders too");
    reportCommand->add_flag("--follow", report.follow, "with --recursive, follow links to folders (each folder is "
                                                       "still read once)");
    reportCommand->add_flag("--portrait", report.portrait, "portrait sheets (default: the program's print setting)");
    reportCommand->add_flag("--landscape", report.landscape, "landscape sheets");
#endif

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 1;
    }

    // Messages go to standard error: the services' default presenter.
    platform::Services services;
    KelContext context(services);
    context.serialChannel.port = port;
    if (*revision) return RunRevision(context.kelDevice);
    if (*dir) return RunDirectory(context.kelDevice, asJson);
    if (*download)
        return RunDownload(context.serialChannel, prefix, testNumbers,
                           replace ? NameTakenChoice::Replace
                           : keepBoth ? NameTakenChoice::KeepBoth
                                      : NameTakenChoice::Skip);
    if (*erase) return RunErase(context.kelDevice, eraseNumbers, eraseYes);
    if (*ports) return RunPorts(asJson);
    if (*find) return RunFind(context.kelDevice);
    if (*panel) {
        const Status returned = context.kelDevice.ReturnToPanel();
        Tell(returned);
        return returned ? 0 : 1;
    }
    if (*exportCommand) return RunExport(services, exportFormat, exportFolder, exportFiles);
    if (*info) return RunInfo(files, asJson, withSamples);
    if (*list) return RunList(folder, asJson);
    if (*setTexts) return RunSetTexts(file, edits);
    if (*trendCommand) return RunTrend(trend, argc, argv);
    if (*archiveCommand) return RunArchive(*archiveCommand, archiveOptions, argc, argv);
    if (*makeDemo) return RunMakeDemo(demoFolder, force);
#ifdef KEL_HAVE_RENDER
    if (*renderCommand) return RunRender(render, argc, argv);
    if (*reportCommand) return RunReport(report, argc, argv);
#endif
    return 1;
}

int main(int argc, char** argv)
{
    // Whatever escapes a sub-command is one line on standard error and status 1, never an abort.
    try {
        std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
        std::vector<char*> utf8;
        for (std::string& argument : arguments) utf8.push_back(argument.data());
        utf8.push_back(nullptr);
        return Run(static_cast<int>(arguments.size()), utf8.data());
    } catch (const std::exception& error) {
        std::cout.flush();
        Fail(error.what());
    } catch (...) {
        std::cout.flush();
        Fail("unexpected failure");
    }
    return 1;
}
