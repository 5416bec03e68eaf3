// The file commands of the main window on a million-row table, windows and progress windows
// included: Save (range dialog answered at once), Open into a list window, and the list
// graph. Prints the CPU time of the GUI thread (the machine may be shared), the wall time, and
// the memory the opened list window and its graph added (resident set size).
#include "childwindow.h"
#include "dialogs.h"
#include "filecommands.h"
#include "chart.h"
#include "stringgrid.h"
#include "listgraphwindow.h"
#include "listwindow.h"
#include "rangeprogressdialog.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <time.h>

#include <cstdio>

namespace {

constexpr int kRows = 1000000;

qint64 cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir dir;
    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    FileCommands files(&area, &area);
    files.attach({});
    QString next;
    Dialogs::setFileAnswerer([&](const Dialogs::FileRequest&) { return next; });
    Dialogs::setAnswerer([](const Dialogs::Request& r) {
        std::printf("message: %s\n", qPrintable(r.text));
        return QMessageBox::Ok;
    });

    auto* source = new ListWindow;
    StringGridModel& table = *source->recordTable->gridModel();
    table.setRowCount(kRows + 1);
    const QDateTime start(QDate(2025, 3, 7), QTime(10, 0, 0));
    const QLocale locale;
    for (int r = 1; r <= kRows; ++r) {
        const QDateTime t = start.addSecs(r);
        table.setRow(r, {QString::number(r), locale.toString(t.date(), "dd.MM.yyyy"),
                         locale.toString(t.time(), "HH:mm:ss"),
                         locale.toString((r % 4000) / 1000.0, 'f', 3), QStringLiteral("V")});
    }
    area.setActiveSubWindow(addChildWindow(&area, source, ChildWindowStyle::Sizeable));

    // Save: the range dialog is answered with OK as soon as it shows.
    next = dir.filePath(QStringLiteral("million.txt"));
    QTimer okRange;
    QObject::connect(&okRange, &QTimer::timeout, [&] {
        if (auto* s = qobject_cast<RangeProgressDialog*>(QApplication::activeModalWidget()))
            s->okButton->click();
    });
    okRange.start(1);
    QElapsedTimer t;
    t.start();
    qint64 cpu = cpuMs();
    files.saveActiveTable();
    const qint64 saveMs = t.elapsed();
    const qint64 saveCpu = cpuMs() - cpu;
    okRange.stop();
    std::printf("save 10^6 rows (TXT, command): %lld ms CPU, %lld ms wall, %lld bytes\n", saveCpu,
                saveMs, QFile(next).size());

    const qint64 before = residentKb();
    ListWindow* list = nullptr;
    QObject::connect(&files, &FileCommands::listOpened, [&](ListWindow* l) { list = l; });
    t.start();
    cpu = cpuMs();
    files.openFile();
    const qint64 openMs = t.elapsed();
    const qint64 openCpu = cpuMs() - cpu;
    const qint64 after = residentKb();
    std::printf("open 10^6 rows (command, list window): %lld ms CPU, %lld ms wall, %d rows, +%lld "
                "MB resident\n",
                openCpu, openMs, list ? list->recordTable->gridRowCount() - 1 : -1, (after - before) / 1024);

    ListGraphWindow* graph = nullptr;
    QObject::connect(&files, &FileCommands::graphMade, [&](ListGraphWindow* g) { graph = g; });
    area.setActiveSubWindow(childWindowOf(list));
    t.start();
    cpu = cpuMs();
    files.graphList();
    if (graph)
        graph->chart->repaint();
    const qint64 graphMs = t.elapsed();
    const qint64 graphCpu = cpuMs() - cpu;
    std::printf("graph of 10^6 rows (command, drawn): %lld ms CPU, %lld ms wall, %d points, y %.1f "
                ".. %.1f, +%lld MB "
                "resident\n",
                graphCpu, graphMs, graph ? graph->chart->points() : -1,
                graph ? graph->chart->manualMinY() : 0.0,
                graph ? graph->chart->manualMaxY() : 0.0, (residentKb() - after) / 1024);

    // The same table in the portable format: every row's date, time and value are read in the
    // user's formats on the way out and its ISO time is read and formatted on the way in, so
    // this is where the format costs more than the program's own.
    area.setActiveSubWindow(childWindowOf(source));
    next = dir.filePath(QStringLiteral("million-portable.csv"));
    Dialogs::setFileChoiceAnswerer([&](const Dialogs::FileRequest&) {
        return Dialogs::FileChoice{next, FileCommands::portableFilterName};
    });
    okRange.start(1);
    t.start();
    cpu = cpuMs();
    files.saveActiveTable();
    const qint64 portableSaveMs = t.elapsed();
    const qint64 portableSaveCpu = cpuMs() - cpu;
    okRange.stop();
    std::printf("save 10^6 rows (portable, command): %lld ms CPU, %lld ms wall, %lld bytes\n",
                portableSaveCpu, portableSaveMs, QFile(next).size());
    list = nullptr;
    t.start();
    cpu = cpuMs();
    files.openFile();
    const qint64 portableOpenMs = t.elapsed();
    const qint64 portableOpenCpu = cpuMs() - cpu;
    std::printf("open 10^6 rows (portable, list window): %lld ms CPU, %lld ms wall, %d rows, "
                "first %s %s\n",
                portableOpenCpu, portableOpenMs, list ? list->recordTable->gridRowCount() - 1 : -1,
                list ? qPrintable(list->recordTable->cells(1, 1)) : "-",
                list ? qPrintable(list->recordTable->cells(2, 1)) : "-");
    return 0;
}
