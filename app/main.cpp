#include "comerror.h"
#include "tfrmabout.h"
#include "tfrmmain.h"

#include <QApplication>
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
        } catch (const EAbort&) {
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

} // namespace

int main(int argc, char* argv[]) {
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QL350"));
    QApplication::setOrganizationName(QStringLiteral("QL350"));
    QApplication::setApplicationVersion(TfrmAbout::VersionText());

    // The start-up screen, painted at once.
    auto* splash = new TfrmAbout;
    splash->BitBtn1->hide();
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    TfrmMain frmMain(splash);
    // For production: the factory memory check's menu item, otherwise hidden.
    if (QApplication::arguments().contains(QStringLiteral("--factory-check")))
        frmMain.N6->setVisible(true);
    // Maximised; without a window manager that honours it, at least the whole screen.
    if (const QScreen* screen = QApplication::primaryScreen())
        frmMain.setGeometry(screen->availableGeometry());
    frmMain.showMaximized();
    return app.exec();
}
