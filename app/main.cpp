#include "aboutbox.h"
#include "mainwindow.h"
#include "silentabort.h"
#include "simulatorbackend.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <exception>

namespace {

// The last resort for an exception that escaped an entry point's error boundary (a defect):
// it must not unwind through Qt's event dispatch. It is reported once; a failure while
// reporting (the message box runs its own event loop) is only logged.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const SilentAbort&) {
            // a silent abort that no boundary caught: still silent
        } catch (const std::exception& e) {
            lastResort(QString::fromLocal8Bit(e.what()));
        }
        return false;
    }

private:
    void lastResort(const QString& text) {
        static bool reporting = false;
        qCritical("unhandled error: %s", qPrintable(text));
        if (reporting)
            return;
        reporting = true;
        QMessageBox::critical(activeWindow(), applicationName(), text);
        reporting = false;
    }
};

void setApplicationNames() {
    QCoreApplication::setApplicationName(QStringLiteral("QL350"));
    QCoreApplication::setOrganizationName(QStringLiteral("QL350"));
    QCoreApplication::setApplicationVersion(AboutBox::versionText());
}

// Reads the command line before any window exists, so that --help and --version work without
// a display; both print and end the process. Options this parser does not know are left to
// QApplication, which takes its own (-platform, -style, ...) from the same command line. A new
// option of the program is added to the parser here; what it asks of the start-up is handed
// back to main().
struct StartOptions {
    bool factoryCheck = false; // the factory memory check's menu item is shown
};

StartOptions readCommandLine(int argc, char* argv[]) {
    QCoreApplication commandLine(argc, argv);
    setApplicationNames();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Live readings, recordings and logger memory of a handheld digital "
                       "multimeter (models 120 and 122) on a serial port."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption factoryCheck(
        QStringLiteral("factory-check"),
        QStringLiteral("Show the factory memory check in the menu (for production)."));
    parser.addOption(factoryCheck);
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    StartOptions options;
    options.factoryCheck = parser.isSet(factoryCheck);
    return options;
}

} // namespace

int main(int argc, char* argv[]) {
    const StartOptions options = readCommandLine(argc, argv);
    Application app(argc, argv);
    setApplicationNames();
    // The program's own icon for its windows (and the desktop entry that started it).
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/ql350.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.ql350.QL350"));
    // "Simulator" in the port list: the meter emulator inside the program.
    SimulatorBackend::install();

    // The start-up screen, painted at once.
    auto* splash = new AboutBox;
    splash->okButton->hide();
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    MainWindow mainWindow(splash);
    // For production: the factory memory check's menu item, otherwise hidden.
    if (options.factoryCheck)
        mainWindow.showFactoryCheckCommand();
    // As the user left it; else maximised, and without a window manager that honours that,
    // at least the whole screen.
    if (mainWindow.restoreSavedGeometry()) {
        mainWindow.show();
    } else {
        if (const QScreen* screen = QApplication::primaryScreen())
            mainWindow.setGeometry(screen->availableGeometry());
        mainWindow.showMaximized();
    }
    return app.exec();
}
