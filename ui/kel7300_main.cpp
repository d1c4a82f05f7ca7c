// kel7300: the desktop program.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <ole2.h>
#endif

#include "app/kel_context.h"
#include "platform/atomic_file.h"
#include "ui/desktop_shell.h"
#include "ui/display_check.h"
#include "ui/kel_view.h"
#include "qt/qt_message_presenter.h"
#include "qt/qt_settings_store.h"
#include "ui/main_frame.h"

int main(int argc, char** argv)
{
    // The two options every program answers without opening a window.
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::printf("Usage: kel7300 [FILE.kel]\n"
                        "The desktop program of the KEL-7300 insulation-resistance tester: download tests from\n"
                        "the tester, view, print and export their report pages, follow each asset's trend.\n"
                        "A test file named on the command line opens alone.\n\n"
                        "  -h, --help     show this help and end\n"
                        "      --version  show the version and end\n");
            return 0;
        }
        if (option == "--version") {
            std::printf("kel7300 %s\n", KEL_VERSION);
            return 0;
        }
    }
    // Without a display Qt would abort; the user is told what to do instead.
    if (std::string why; !DisplayAvailable(why)) {
        std::fprintf(stderr,
                     "kel7300: there is no display to show the window on (%s).\n"
                     "Run it on a virtual display:       xvfb-run -a kel7300 [FILE.kel]\n"
                     "or draw report pages without one:  kel7300-cli render FILE.kel -o page.png\n"
                     "                                   kel7300-cli report FOLDER -o report.pdf\n",
                     why.c_str());
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
#ifdef _WIN32
    // Excel is driven through automation: COM on this thread for the program's life.
    OleInitialize(nullptr);
#endif
    // A program killed during a download leaves the older file and no temporary one.
    platform::RemoveTemporaryFilesOnInterrupt();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KEL-7300"));
    QApplication::setOrganizationName(QStringLiteral("Quellton"));

    platform::QtSettingsStore settings;
    platform::QtMessagePresenter presenter;
    platform::Services services;
    services.settings = &settings;
    services.presenter = &presenter;
    // Waits for the tester keep the windows alive: repaints, Abort.
    services.eventPump = [](int) { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    services.waitCursor = [](bool on) {
        if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
    };
    KelContext context(services);

    int status = 0;
    {
        DesktopShell shell(context, &presenter);
        if (context.kelApp.InitInstance(shell)) {
            // KEL7300_STARTUP_TIME=1: print the time to the first painted page and end.
            if (std::getenv("KEL7300_STARTUP_TIME")) {
                shell.frame()->view()->afterFirstPage = [&clock] {
                    std::fprintf(stderr, "first page painted after %lld ms\n",
                                 static_cast<long long>(clock.elapsed()));
                    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
                };
            }
            status = app.exec();
        }
    }
    return status;
}
