#include "tools/render_command.h"
#include "tools/cli_output.h"

#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include "platform/folder_search.h"
#include "qt/page_render.h"
#include "testfile/kel_file.h"

namespace {

constexpr int kMaxShownTests = 4;

using cli::Fail;

// Qt's notes about a missing desktop session do not concern a command-line drawing.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith(QLatin1String("QStandardPaths:"))) return;
    std::cerr << cli::Printable(message.toStdString()) << "\n";
}

}  // namespace

QGuiApplication* StartOffscreenApplication(int& argc, char** argv)
{
    // Drawing needs the fonts of a GUI application, but never a screen.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietMessages);
    return new QGuiApplication(argc, argv);
}

int RunRender(const RenderOptions& options, int argc, char** argv)
{
    int width = 0, height = 0;
    char rest = 0;
    if (std::sscanf(options.size.c_str(), "%dx%d%c", &width, &height, &rest) != 2 || width < 16 || height < 16 ||
        width > 20000 || height > 20000)
        return Fail("--size wants WIDTHxHEIGHT in pixels, 16 to 20000 each, not " + options.size);
    const bool pdf = platform::EndsWithCaseInsensitive(options.output, ".pdf");
    if (!pdf && !platform::EndsWithCaseInsensitive(options.output, ".png")) return Fail("the output must end in .png or .pdf");
    if (options.files.size() > kMaxShownTests)
        std::cerr << "kel7300-cli: at most four tests are overlaid; the first four are drawn\n";

    const int count = static_cast<int>(std::min<std::size_t>(options.files.size(), kMaxShownTests));
    auto records = std::make_unique<CKELFile[]>(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (!records[i].Load(options.files[static_cast<std::size_t>(i)], 1))
            return Fail(options.files[static_cast<std::size_t>(i)] + ": not a readable KEL-7300 test file");
    }

    const std::unique_ptr<QGuiApplication> app(StartOffscreenApplication(argc, argv));

    const int zoomed = options.zoom.empty() ? 0 : 1;
    const int zoomResistance = options.zoom == "current" ? 0 : 1;
    if (pdf) {
        const auto print = [&](QPagedPaintDevice& printer) {
            return PrintPage(printer, records.get(), count, zoomed, zoomResistance);
        };
        if (!WritePdf(options.output, true, 600, QStringLiteral("KEL-7300 test report"), print))
            return Fail("Can't write file " + options.output);
        return 0;
    }
    const QImage image =
        RenderPageImage(records.get(), count, QSize(width, height), options.paper, zoomed, zoomResistance);
    if (!WritePng(options.output, image))
        return Fail("Can't write file " + options.output);
    return 0;
}
