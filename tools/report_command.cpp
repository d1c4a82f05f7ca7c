#include "tools/report_command.h"
#include "tools/cli_output.h"
#include "tools/render_command.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include "app/kel_context.h"
#include "platform/folder_search.h"
#include "platform/regular_file.h"
#include "qt/qt_settings_store.h"
#include "status/status.h"
#include "testfile/kel_file.h"
#include "testfile/kel_format.h"
#include "qt/page_render.h"

namespace {

using cli::Fail;


}  // namespace

int RunReport(const ReportOptions& options, int argc, char** argv)
{
    if (!platform::EndsWithCaseInsensitive(options.output, ".pdf")) return Fail("the report is a PDF: -o must end in .pdf");
    if (options.portrait && options.landscape) return Fail("--portrait and --landscape exclude each other");

    const std::unique_ptr<QGuiApplication> app(StartOffscreenApplication(argc, argv));
    // The default print orientation is the user's setting, as in the desktop program.
    platform::QtSettingsStore settings;
    platform::Services services;
    services.settings = &settings;
    KelContext context(services);
    context.appInfo.LoadSettings();
    const bool landscape = options.landscape || (!options.portrait && context.appInfo.orientation == 0);

    int printed = 0;
    int leftOut = 0;
    const auto start = std::chrono::steady_clock::now();
    bool progressShown = false;
    const auto tell = [&](const std::string& message) {
        if (progressShown) std::cerr << "\n";
        progressShown = false;
        Fail(message);
        ++leftOut;
    };
    // Each test is printed as it is read: a folder of any size or depth never
    // waits in memory, and its files are read relative to their open folder.
    const auto print = [&](QPagedPaintDevice& printer) {
        SheetPerTest sheets(printer);
        CKELFile record;
        const auto take = [&](const std::string& file, const Status& loaded) {
            if (!loaded) {
                tell((loaded.problem == Problem::NotATest ? cli::NotATestLine(file, loaded) : file + ": can't be read") +
                     "; left out of the report");
                return true;
            }
            if (!sheets.Add(record)) return false;
            ++printed;
            // Progress, once the report takes longer than a second.
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
                std::cerr << "\rReport: " << printed << (printed == 1 ? " test" : " tests") << std::flush;
                progressShown = true;
            }
            return true;
        };
        platform::TreeWalk walk;
        walk.extension = ".kel";
        walk.size = kel::kPreambleSize + 0xFFFF;  // the largest test file
        walk.recursive = options.recursive;
        walk.followFolderLinks = options.follow;
        walk.filesFirst = true;
        bool going = true;
        for (const std::string& path : options.paths) {
            std::error_code error;
            if (!std::filesystem::is_directory(path, error)) {
                going = take(path, record.Load(path, 1));
            } else {
                platform::ReadTreeFileStarts(
                    path, walk,
                    [&](std::string file, bool read, const std::vector<unsigned char>& bytes,
                        const platform::FileIdentity&) {
                        const Status loaded = read ? record.Decode(bytes, 1) : Status::Of(Problem::CantOpenFile);
                        going = take(file, loaded);
                        return going;
                    },
                    [&](const std::string& folder) { tell(folder + ": folder can't be read; left out of the report"); });
            }
            if (!going) break;
        }
        return going && sheets.End();
    };
    const bool ok = WritePdf(options.output, landscape, 600, QStringLiteral("KEL-7300 test report"), print);
    if (progressShown) std::cerr << "\n";
    if (printed == 0) return Fail(leftOut > 0 ? "no readable test file to report" : "no test files to report");
    if (!ok) return Fail("Can't write file " + options.output);
    return leftOut > 0 ? cli::kPartial : 0;
}
