#include "tools/report_command.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "app/kel_context.h"
#include "platform/folder_search.h"
#include "platform/qt/qt_settings_store.h"
#include "status/status.h"
#include "testfile/kel_file.h"
#include "testfile/kel_test_list.h"
#include "ui/page_render.h"

namespace {

int Fail(const std::string& message)
{
    std::cerr << "kel7300-cli: " << message << "\n";
    return 1;
}

// The test files of `folder` in catalogue order, then, with `recursive`, those
// of its subfolders in name order, each folder once.
void Collect(const std::filesystem::path& folder, bool recursive, std::vector<std::string>& files,
             std::vector<std::filesystem::path>& walked)
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    for (const std::filesystem::path& seen : walked)
        if (seen == canonical) return;
    walked.push_back(canonical);
    CKELTestList catalogue;
    catalogue.Refresh(folder.string());
    for (int i = 0; i < catalogue.fileCount; ++i) {
        std::error_code ignored;
        if (!std::filesystem::is_directory(catalogue.PathOf(i), ignored)) files.push_back(catalogue.PathOf(i));
    }
    if (!recursive) return;
    std::vector<std::filesystem::path> subfolders;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->is_directory(ignored)) subfolders.push_back(it->path());
    }
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::filesystem::path& subfolder : subfolders) Collect(subfolder, true, files, walked);
}

// Qt's notes about a missing desktop session do not concern a command-line report.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith(QLatin1String("QStandardPaths:"))) return;
    std::cerr << message.toLocal8Bit().constData() << "\n";
}

}  // namespace

int RunReport(const ReportOptions& options, int argc, char** argv)
{
    if (!platform::EndsWithCaseInsensitive(options.output, ".pdf")) return Fail("the report is a PDF: -o must end in .pdf");
    if (options.portrait && options.landscape) return Fail("--portrait and --landscape exclude each other");
    std::vector<std::string> files;
    std::vector<std::filesystem::path> walked;
    for (const std::string& path : options.paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) Collect(path, options.recursive, files, walked);
        else files.push_back(path);
    }
    if (files.empty()) return Fail("no test files to report");

    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietMessages);
    QGuiApplication app(argc, argv);
    // The default print orientation is the user's setting, as in the desktop program.
    platform::QtSettingsStore settings;
    platform::Services services;
    services.settings = &settings;
    KelContext context(services);
    context.appInfo.LoadSettings();
    const bool landscape = options.landscape || (!options.portrait && context.appInfo.orientation == 0);

    int skipped = 0;
    const auto start = std::chrono::steady_clock::now();
    bool progressShown = false;
    const auto print = [&](QPagedPaintDevice& printer) {
        return PrintEachTest(printer, static_cast<int>(files.size()), [&](int i, CKELFile& record) {
            // Progress, once the report takes longer than a second.
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
                std::cerr << "\rReport: " << i + 1 << " of " << files.size() << std::flush;
                progressShown = true;
            }
            const std::string& file = files[static_cast<std::size_t>(i)];
            const Status loaded = record.Load(file, 1);
            if (loaded) return true;
            if (progressShown) std::cerr << "\n";
            progressShown = false;
            const std::string why = loaded.problem == Problem::NotATest ? "not a KEL-7300 test file" : "can't be read";
            Fail(file + ": " + why + "; left out of the report");
            ++skipped;
            return false;
        });
    };
    const bool ok = WritePdf(options.output, landscape, 600, QStringLiteral("KEL-7300 test report"), print);
    if (progressShown) std::cerr << "\n";
    if (!ok)
        return Fail(skipped == static_cast<int>(files.size()) ? "no readable test file to report"
                                                              : "Can't write file " + options.output);
    return skipped > 0 ? 1 : 0;
}
