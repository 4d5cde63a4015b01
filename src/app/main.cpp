// Process entry: the application titled "Varnesk", the main window and the
// eighteen further windows in their fixed order, the event loop until the
// main window closes. SIGINT and SIGTERM close the main window normally.
#include "app/installed_data.h"
#include "app/ui/main_window.h"
#include "app/ui/shutdown.h"
#include "app/ui/window_table.h"
#include "widgets/message_hub.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

#include <clocale>
#include <exception>

namespace {

// Start-up done, at debug level (off unless QT_LOGGING_RULES turns it on).
Q_LOGGING_CATEGORY(lcStart, "varnesk.start", QtInfoMsg)

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // QApplication takes the user's locale for the C library too; numbers in
    // files and on screen are always written with a '.'.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Varnesk"));
    // No application display name: Qt would append it to every caption, and
    // the captions are the program's own texts.
    QApplication::setDesktopFileName(QStringLiteral("io.varnesk.Varnesk"));
    // The main window may be joined by always-on-top windows; the program ends
    // with the main window, not with the last window.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own dialogs (colour, font, file) speak Japanese on a Japanese
    // system; the program's texts are Japanese whatever the locale.
    QTranslator qtTexts;
    if (QLocale::system().language() == QLocale::Japanese
        && qtTexts.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    varnesk::installTerminationHandling();
    try {
        // Installed, the files live in the per-user folder; in the build
        // folder, beside the program.
        varnesk::MainWindow::Options options;
        options.appDir = varnesk::applicationDirectory(QCoreApplication::applicationDirPath());
        varnesk::MainWindow window(options);
        varnesk::createSecondaryWindows(window);
        varnesk::attachMainWindow(window);
        window.show();
        varnesk::showStartWindows(window);
        qCDebug(lcStart) << "event loop running";
        QApplication::exec();
    } catch (const std::exception& e) {
        varnesk::MessageHub::error(nullptr, QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
