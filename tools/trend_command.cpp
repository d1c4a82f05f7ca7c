#include "tools/trend_command.h"
#include "tools/cli_output.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <functional>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "display/trend_drawing.h"
#include "history/asset_history.h"
#include "testfile/latin1.h"
#ifdef KEL_HAVE_RENDER
#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/folder_search.h"
#include "tools/render_command.h"
#include "qt/page_render.h"
#endif

namespace {

using Json = nlohmann::ordered_json;
using history::Asset;
using history::TestPoint;

using cli::Fail;

// The tester's readings are 32-bit floats: the shortest text that reads back as
// the same float, with '.' whatever the locale.
std::string Number(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, static_cast<float>(value));
    return std::string(text, result.ptr);
}

Json OptionalJson(const std::optional<double>& value)
{
    return value ? Json(std::strtod(Number(*value).c_str(), nullptr)) : Json(nullptr);
}

std::string Flags(const TestPoint& test)
{
    std::string flags;
    for (const std::string& flag : test.flags) flags += (flags.empty() ? "" : " ") + flag;
    return flags;
}

Json AssetJson(const Asset& asset)
{
    Json tests = Json::array();
    for (const TestPoint& test : asset.tests) {
        tests.push_back({{"path", test.path},
                         {"testNumber", test.testNumber},
                         {"dateTime", test.dateTime},
                         {"testTypeName", test.testTypeName},
                         {"testVoltage", test.testVoltage},
                         {"resistance1Min", OptionalJson(test.resistance1Min)},
                         {"resistance1Min40C", OptionalJson(test.resistance1Min40C)},
                         {"piRatio", OptionalJson(test.piRatio)},
                         {"ddRatio", OptionalJson(test.ddRatio)},
                         {"darRatio", OptionalJson(test.darRatio)},
                         {"flags", test.flags},
                         {"copies", test.copies}});
    }
    return {{"company", Latin1ToUtf8(asset.company)},
            {"location", Latin1ToUtf8(asset.location)},
            {"description", Latin1ToUtf8(asset.description)},
            {"tests", tests}};
}

// The other files that hold the same test, separated by "; ".
std::string Copies(const TestPoint& test)
{
    std::string copies;
    for (const std::string& path : test.copies) copies += (copies.empty() ? "" : "; ") + path;
    return copies;
}

std::string CsvNumber(const std::optional<double>& value)
{
    return value ? Number(*value) : std::string();
}

void PrintCsv(const std::vector<const Asset*>& assets)
{
    std::cout << "company,location,description,path,testNumber,dateTime,testTypeName,testVoltage,"
                 "resistance1Min,resistance1Min40C,piRatio,ddRatio,darRatio,flags,copies\r\n";
    for (const Asset* asset : assets) {
        for (const TestPoint& test : asset->tests) {
            // Texts are guarded against spreadsheet formulas; numbers are written as numbers.
            const std::string fields[] = {
                cli::CsvText(Latin1ToUtf8(asset->company)), cli::CsvText(Latin1ToUtf8(asset->location)),
                cli::CsvText(Latin1ToUtf8(asset->description)), cli::CsvText(test.path),
                std::to_string(test.testNumber), cli::CsvText(test.dateTime), cli::CsvText(test.testTypeName),
                std::to_string(test.testVoltage), CsvNumber(test.resistance1Min), CsvNumber(test.resistance1Min40C),
                CsvNumber(test.piRatio), CsvNumber(test.ddRatio), CsvNumber(test.darRatio), cli::CsvText(Flags(test)),
                cli::CsvText(Copies(test))};
            for (std::size_t i = 0; i < std::size(fields); ++i) std::cout << (i ? "," : "") << fields[i];
            std::cout << "\r\n";
        }
    }
}

void PrintTable(const std::vector<const Asset*>& assets, const std::function<std::string(const std::string&)>& shown)
{
    for (const Asset* asset : assets) {
        if (asset != assets.front()) std::cout << "\n";
        std::cout << shown(Latin1ToUtf8(asset->company)) << " / " << shown(Latin1ToUtf8(asset->location)) << " / "
                  << shown(Latin1ToUtf8(asset->description)) << ": " << asset->tests.size()
                  << (asset->tests.size() == 1 ? " test" : " tests") << (asset->Flagged() ? ", flagged" : "") << "\n";
        char line[256];
        std::snprintf(line, sizeof line, "  %-19s %6s %-22s %6s %9s %9s %6s %6s %6s  %s\n", "date/time", "test",
                      "type", "volts", "R 1 min", "R1min@40C", "PI", "DD", "DAR", "flags");
        std::cout << line;
        for (const TestPoint& test : asset->tests) {
            const auto ohms = [](const std::optional<double>& v) { return v ? OhmsText(*v) : std::string("-"); };
            const auto ratio = [](const std::optional<double>& v) {
                char text[16];
                std::snprintf(text, sizeof text, "%.2f", v.value_or(0));
                return v ? std::string(text) : std::string("-");
            };
            std::snprintf(line, sizeof line, "  %-19s %6d %-22s %6d %9s %9s %6s %6s %6s  %s\n",
                          test.dateTime.c_str(), test.testNumber, test.testTypeName, test.testVoltage,
                          ohms(test.resistance1Min).c_str(), ohms(test.resistance1Min40C).c_str(),
                          ratio(test.piRatio).c_str(), ratio(test.ddRatio).c_str(), ratio(test.darRatio).c_str(),
                          Flags(test).c_str());
            std::cout << line;
            for (const std::string& copy : test.copies) std::cout << "    the same test in " << shown(copy) << "\n";
        }
    }
}

#ifdef KEL_HAVE_RENDER
int Draw(const std::string& output, const std::vector<const Asset*>& assets, const history::Limits& limits, int argc,
         char** argv)
{
    const bool pdf = platform::EndsWithCaseInsensitive(output, ".pdf");
    if (!pdf && !platform::EndsWithCaseInsensitive(output, ".png")) return Fail("the output must end in .png or .pdf");
    if (assets.empty()) return Fail("no asset to draw");
    if (!pdf && assets.size() != 1)
        return Fail("a PNG holds one asset and " + std::to_string(assets.size()) +
                    " match: choose one with --asset, or draw them into a .pdf");
    const std::unique_ptr<QGuiApplication> app(StartOffscreenApplication(argc, argv));
    if (!pdf) {
        const QImage image = RenderTrendImage(*assets.front(), limits, QSize(1600, 1100));
        if (!WritePng(output, image))
            return Fail("Can't write file " + output);
        return 0;
    }
    const auto print = [&](QPagedPaintDevice& printer) { return PrintTrendPages(printer, assets, limits); };
    if (!WritePdf(output, true, 300, QStringLiteral("KEL-7300 asset trend"), print))
        return Fail("Can't write file " + output);
    return 0;
}
#endif

}  // namespace

int RunTrend(const TrendOptions& options, int argc, char** argv)
{
    history::Limits limits;
    if (!options.minIr.empty()) {
        const std::optional<double> ohms = history::ParseOhms(options.minIr);
        if (!ohms) return Fail("--min-ir wants ohms with an optional k, M, G or T, not " + options.minIr);
        limits.minIrOhms = *ohms;
    }
    limits.minPi = options.minPi;
    if (options.json && options.csv) return Fail("--json and --csv exclude each other");

    const history::Scan scan = history::ScanPaths(options.paths, limits, {}, options.follow);
    std::size_t foldersLeftOut = 0;
    for (const Status& problem : scan.unreadable) {
        const bool folder = problem.problem == Problem::CantReadFolder;
        const bool noTest = problem.problem == Problem::CantReadFile;
        foldersLeftOut += folder ? 1 : 0;
        Fail(noTest ? cli::NotATestLine(problem.subject, problem) + "; left out"
                    : problem.subject + (folder ? ": folder can't be read; left out" : ": can't be read; left out"));
    }
    const std::size_t filesLeftOut = scan.unreadable.size() - foldersLeftOut;
    if (filesLeftOut > 0)
        Fail(std::to_string(filesLeftOut) + " of " + std::to_string(filesLeftOut + scan.testsRead) +
             " files left out");
    if (foldersLeftOut > 0) Fail(std::to_string(foldersLeftOut) + (foldersLeftOut == 1 ? " folder" : " folders") +
                                 " left out");
    const int done = scan.unreadable.empty() ? 0 : cli::kPartial;
    return ShowAssets(scan.assets, options, limits, done, argc, argv);
}

int ShowAssets(const std::vector<history::Asset>& assets, const TrendOptions& options, const history::Limits& limits,
               int done, int argc, char** argv)
{
    if (options.json && options.csv) return Fail("--json and --csv exclude each other");
    std::vector<const Asset*> chosen;
    for (const Asset& asset : assets)
        if (options.asset.empty() || asset.Matches(Utf8ToLatin1(options.asset))) chosen.push_back(&asset);

    if (options.json) {
        for (const Asset* asset : chosen)
            std::cout << cli::JsonLine(AssetJson(*asset)) << "\n";
    } else if (options.csv) {
        PrintCsv(chosen);
    } else if (options.output.empty()) {
        PrintTable(chosen, cli::Printable);
    }
    if (options.output.empty()) return done;
#ifdef KEL_HAVE_RENDER
    const int drawn = Draw(options.output, chosen, limits, argc, argv);
    return drawn != 0 ? drawn : done;
#else
    (void)argc, (void)argv, (void)limits;
    return Fail("this build draws no pages (built without Qt)");
#endif
}
