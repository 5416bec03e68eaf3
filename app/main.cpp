#include "tfrmabout.h"
#include "tfrmmain.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <exception>

namespace {

// Shows what reached the top as the application's standard error message.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(), applicationName(),
                                  QString::fromLocal8Bit(e.what()));
        } catch (...) {
            QMessageBox::critical(activeWindow(), applicationName(),
                                  QStringLiteral("Unknown error"));
        }
        return false;
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
    // Maximised; without a window manager that honours it, at least the whole screen.
    if (const QScreen* screen = QApplication::primaryScreen())
        frmMain.setGeometry(screen->availableGeometry());
    frmMain.showMaximized();
    return app.exec();
}
