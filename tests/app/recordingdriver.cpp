// The program as a crash leaves it: the main window (offscreen) against the meter on the
// device given as the only argument, recording one sample a second from the moment it is
// ready, with its data folder and settings in $QL350_DATA_DIR. It prints "sample N" as each
// sample is taken, so that the test knows what was taken before it kills the process.
#include "mainwindow.h"
#include "meterport.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2 || qEnvironmentVariableIsEmpty("QL350_DATA_DIR")) {
        std::fprintf(stderr, "usage: QL350_DATA_DIR=DIR recordingdriver DEVICE\n");
        return 2;
    }
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       qEnvironmentVariable("QL350_DATA_DIR"));
    MeterPort::setPortListOverride(QStringList{QString::fromLocal8Bit(argv[1])});
    MainWindow window;
    QObject::connect(&window, &MainWindow::startupFinished, &window, [&window] {
        window.recorder.setRecordInterval(1);
        window.recorder.start();
        std::printf("recording\n");
        std::fflush(stdout);
    });
    QObject::connect(&window.recorder, &Recorder::sampleTaken, [](const RecorderSample& s) {
        std::printf("sample %d\n", s.number);
        std::fflush(stdout);
    });
    window.show();
    return app.exec();
}
