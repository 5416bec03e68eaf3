// Time from the program's start to its main window on screen, and the first showing's own work
// apart from the meter search's fixed pauses (150 + 300 ms with no port to try).
#include "aboutbox.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStandardPaths>

#include <cstdio>
#include <functional>

namespace {
class PaintWatch : public QObject {
public:
    explicit PaintWatch(std::function<void()> onPaint) : m_onPaint(std::move(onPaint)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint || event->type() == QEvent::Expose ||
            event->type() == QEvent::UpdateRequest)
            m_onPaint();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onPaint;
};
} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    const qint64 appReady = sinceStart.elapsed();

    auto* splash = new AboutBox;
    splash->okButton->hide();
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    // No serial port to search, so only the search's own fixed pauses remain.
    MeterPort::setPortListOverride(QStringList{});
    MainWindow window(splash);
    // The first paint of the main window marks "on screen".
    qint64 painted = -1;
    PaintWatch watch([&] {
        if (painted < 0)
            painted = sinceStart.elapsed();
    });
    window.installEventFilter(&watch);
    window.show();
    const qint64 showCalled = sinceStart.elapsed();
    while (!window.startupDone())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const qint64 ready = sinceStart.elapsed();
    const qint64 shown = painted >= 0 ? painted : showCalled;
    const qint64 firstShowing = ready - showCalled;
    constexpr qint64 searchPauses = 150 + 300;

    std::printf("start-up: %lld ms from process start to the main window shown "
                "(application object ready after %lld ms)\n",
                static_cast<long long>(shown), static_cast<long long>(appReady));
    std::printf("start-up: %lld ms for the first showing's work (views, pictures, search, timer) "
                "apart from the search's fixed %lld ms of pauses\n",
                static_cast<long long>(firstShowing - searchPauses),
                static_cast<long long>(searchPauses));
    std::printf("start-up: %lld ms from process start to ready, the search's fixed pauses excluded\n",
                static_cast<long long>(ready - searchPauses));
    return 0;
}
