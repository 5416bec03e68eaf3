// The file commands of the main window on real child windows in an MDI area: save through the
// file dialog, range dialog and progress window; open into list windows; list to graph; scale
// and undo zoom; printing to PDF. Dialogs are answered through the dialog seams or by
// pressing the buttons of the modal range-and-progress dialog.

#include "chart.h"
#include "charterror.h"
#include "chartprint.h"
#include "childwindow.h"
#include "datetimetext.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "filecommands.h"
#include "gridprintout.h"
#include "listdatetimereader.h"
#include "listgraph.h"
#include "listgraphwindow.h"
#include "listwindow.h"
#include "portablecsv.h"
#include "printing.h"
#include "rangeprogressdialog.h"
#include "live/recorderharness.h"
#include "settingsstore.h"
#include "stringgrid.h"

#include <qcustomplot.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QStandardPaths>
#include <QtTest>

#include <sys/stat.h>

#include <algorithm>
#include <functional>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Acts on the next window of the given caption once it is shown (the modal range dialog, or
// a progress window), polling every few milliseconds for at most five seconds.
void whenShown(const QString& caption, std::function<void(RangeProgressDialog*)> act) {
    auto* timer = new QTimer;
    auto* since = new QElapsedTimer;
    since->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* scope = qobject_cast<RangeProgressDialog*>(w);
            if (scope && scope->isVisible() && scope->windowTitle() == caption) {
                timer->stop();
                timer->deleteLater();
                delete since;
                act(scope);
                return;
            }
        }
        if (since->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            delete since;
        }
    });
    timer->start(2);
}

// The range dialog of a save: all rows, or the texts in the two boxes.
void answerRange(const QString& from = QString(), const QString& to = QString()) {
    whenShown("Save File", [=](RangeProgressDialog* s) {
        if (!from.isNull()) {
            s->rowRangeButton->setChecked(true);
            s->fromEdit->setText(from);
            s->toEdit->setText(to);
        }
        s->okButton->click();
    });
}

// The lines of a data file as "a|b|c|..." (separators shown as bars).
QStringList linesOf(const QString& path, char sep) {
    QStringList out;
    const QByteArray all = readAll(path);
    for (QByteArray line : all.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            out << QString::fromLocal8Bit(line).replace(QChar(sep), u'|');
    }
    return out;
}

} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void recorderToFileToListToGraph();
    void portableSaveReadsBackAnywhere();
    void saveRangesFailuresAndCancel();
    void openEdgeCases();
    void graphScale();
    void scaleAndUndoZoom();
    void quickTimeReadingAgreesWithTheGeneralOne();
    void gridPrintout();
    void chartPrintRestoresColours();

private:
    ListWindow* listOf(const QStringList& rows);
    ListWindow* openFile(const QString& path);
    ListGraphWindow* graphOf(ListWindow* list);

public:
    struct Word {
        double xMin, yMin, xMax, yMax;
        QString text;
    };

private:
    QList<QList<Word>> pdfWords(const QString& pdf, double* pageHeight);

    QTemporaryDir m_dir;
    QMdiArea* m_area = nullptr;
    FileCommands* m_files = nullptr;
    QStringList m_messages;
    QString m_nextFile;
    QString m_expectedFolder;
    TestClock m_clock;
    QPointer<RecorderWindow> m_rtc;
    FakeDeviceScope m_meter; // the meter's frames reach the link through its receive step
    std::unique_ptr<LiveLink> m_link;
    std::unique_ptr<Recorder> m_recorder;
};

void TestFileCommands::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // Charts remember the user's fit choice in the settings: the test's own store, empty.
    QStandardPaths::setTestModeEnabled(true);
    settingsStore().remove(QStringLiteral("Charts"));
    Dialogs::setAnswerer([this](const Dialogs::Request& r) {
        m_messages << r.text;
        return QMessageBox::Ok;
    });
    Dialogs::setFileAnswerer([this](const Dialogs::FileRequest& r) {
        // Save offers the three filters, Open all data files first; both start in the folder
        // used last (the documents folder at first), never the program's.
        const QString filter = r.kind == Dialogs::FileRequest::Kind::Save
                                   ? FileCommands::fileFilter
                                   : FileCommands::openFilter;
        if (r.filter != filter || r.folder != m_expectedFolder) {
            qWarning("file dialog: filter %s, folder %s (expected %s)", qPrintable(r.filter),
                     qPrintable(r.folder), qPrintable(m_expectedFolder));
            return QString();
        }
        if (!m_nextFile.isEmpty())
            m_expectedFolder = QFileInfo(m_nextFile).absolutePath();
        return m_nextFile;
    });
}

void TestFileCommands::init() {
    m_expectedFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    m_area = new QMdiArea;
    m_area->resize(1000, 700);
    m_area->show();
    m_files = new FileCommands(m_area, m_area);
    m_files->addTableWindow<RecorderWindow>(&RecorderWindow::recordTable, &RecorderWindow::chart);
    m_files->setRecorderChart(
        [this]() -> Chart* { return m_rtc ? m_rtc->chart : nullptr; });
    m_files->attach({});
    m_messages.clear();
    m_link = std::make_unique<LiveLink>();
    m_recorder = std::make_unique<Recorder>(*m_link);
    m_link->setClock(&m_clock);
    m_link->setDeviceName(QStringLiteral("/dev/fake"));
    m_link->openPort();
    m_link->attachMeter(122);
}

void TestFileCommands::cleanup() {
    delete m_area;
    m_recorder.reset();
    m_link.reset();
}

ListWindow* TestFileCommands::listOf(const QStringList& rows) {
    auto* list = new ListWindow;
    list->recordTable->setRowCount(int(rows.size()) + 1);
    for (int r = 0; r < rows.size(); ++r)
        list->recordTable->setRow(r + 1, QString(QString::number(r + 1) + u'|' + rows[r]).split(u'|'));
    list->setWindowTitle("made.txt");
    m_area->setActiveSubWindow(addChildWindow(m_area, list, ChildWindowStyle::Sizeable));
    return list;
}

ListWindow* TestFileCommands::openFile(const QString& path) {
    ListWindow* list = nullptr;
    const auto c = connect(m_files, &FileCommands::listOpened, [&](ListWindow* l) { list = l; });
    m_nextFile = path;
    m_files->openFile();
    disconnect(c);
    return list;
}

ListGraphWindow* TestFileCommands::graphOf(ListWindow* list) {
    m_area->setActiveSubWindow(childWindowOf(list));
    ListGraphWindow* graph = nullptr;
    const auto c = connect(m_files, &FileCommands::graphMade, [&](ListGraphWindow* g) { graph = g; });
    m_files->graphAction->trigger();
    disconnect(c);
    return graph;
}

// A recording saved as CSV under a decimal-comma locale (values hold the separator), opened
// as a list and drawn: every text comes back in its own cell, and the graph has a point per
// row at the row's date-time and value.
void TestFileCommands::recorderToFileToListToGraph() {
    auto* rtc = new RecorderWindow(*m_recorder, *m_link);
    m_rtc = rtc;
    QMdiSubWindow* sub = addChildWindow(m_area, rtc, ChildWindowStyle::Sizeable);
    m_area->setActiveSubWindow(sub);
    rtc->setupChart();

    // A fresh recorder saves its one empty row as separators only.
    const QString fresh = m_dir.filePath("fresh.txt");
    m_nextFile = fresh;
    answerRange();
    m_files->saveActiveTable();
    QCOMPARE(readAll(fresh), QByteArray("\t\t\t\t\t\r\n"));

    rtc->startRecording();
    const int counts[] = {1234, 1500, 1999, -250};
    for (int count : counts) {
        const int before = rtc->sampleCount();
        for (int t = 0; t < 10 && rtc->sampleCount() == before; ++t) {
            m_meter.device->send(LiveFrame(1, count, ';'));
            ++m_clock.seconds;
            m_link->onTick();
        }
    }
    QCOMPARE(rtc->sampleCount(), 4);
    QVERIFY(rtc->recordTable->cells(3, 1).contains(u','));

    const QString csv = m_dir.filePath("rec.Csv");
    m_nextFile = csv;
    answerRange();
    m_files->saveActiveTable();
    const QByteArray bytes = readAll(csv);
    QCOMPARE(bytes.count("\r\n"), 4);
    QVERIFY2(bytes.startsWith(QByteArray(rtc->recordTable->cells(1, 1).toLocal8Bit() + ',')),
             bytes.constData());
    QVERIFY(bytes.contains(QByteArray(",\"" + rtc->recordTable->cells(3, 1).toLocal8Bit() + "\",")));

    QVERIFY(!m_files->graphAction->isEnabled());
    ListWindow* list = openFile(csv);
    QVERIFY(list);
    QCOMPARE(list->windowTitle(), QDir::toNativeSeparators(csv));
    QVERIFY(m_files->graphAction->isEnabled());
    QCOMPARE(list->recordTable->gridRowCount(), 5);
    for (int r = 1; r <= 4; ++r)
        for (int c = 0; c <= 4; ++c)
            QCOMPARE(list->recordTable->cells(c, r), rtc->recordTable->cells(c, r));

    ListGraphWindow* graph = graphOf(list);
    QVERIFY(graph);
    QCOMPARE(graph->windowTitle(), list->windowTitle() + QStringLiteral(" - Graph"));
    QVERIFY(!m_files->graphAction->isEnabled());
    Chart* chart = graph->chart;
    QCOMPARE(chart->points(), 4);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(sameTime(chart->xData(0, i), m_clock.at(0) + 0) || chart->xData(0, i) > 0);
        QCOMPARE(chart->yData(0, i), QLocale().toFloat(rtc->recordTable->cells(3, i + 1)));
    }
    QVERIFY(chart->xData(0, 3) > chart->xData(0, 0));
    QVERIFY(qAbs(chart->manualMinX() - chart->xData(0, 0)) < 1e-9);
    QVERIFY(qAbs(chart->manualMaxX() - chart->xData(0, 3)) < 1e-9);
    QVERIFY(m_messages.isEmpty());
    m_rtc = nullptr;
}

// A list in German formats saved under the portable filter: the dialog suggests a name from
// the window and the time, the file has the portable header and columns (ISO times, dot
// decimals, SI values, the quantity as function), a row whose time cannot be read keeps its
// value, the save is confirmed with its path and row count, and the file opens and graphs
// under another locale.
void TestFileCommands::portableSaveReadsBackAnywhere() {
    ListWindow* list = listOf({"08.12.2026|14:03:02|1,234|mV", "08.12.2026|14:03:03|-0,500|mV",
                               "08.12.2026|14:03:04|OL|mV", "gestern|nie|2,5|V",
                               "09.12.2026|00:00:01|12,5|KOhm"});
    list->setWindowTitle(QStringLiteral("/home/user/bench/run 1.txt"));
    const QString path = m_dir.filePath("portable.csv");
    Dialogs::FileRequest asked;
    Dialogs::setFileChoiceAnswerer([&](const Dialogs::FileRequest& r) {
        asked = r;
        return Dialogs::FileChoice{path, FileCommands::portableFilterName};
    });
    const auto restore = qScopeGuard([this] { initTestCase(); });
    QSignalSpy saved(m_files, &FileCommands::saved);
    const QDateTime before = QDateTime::currentDateTime();
    answerRange();
    m_files->saveActiveTable();
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved[0][0].toString(), path);
    QCOMPARE(saved[0][1].toLongLong(), 5);
    QVERIFY(asked.filter.contains(FileCommands::portableFilterName + u"|*.csv"));
    QVERIFY2(asked.suggestedName == FileCommands::suggestedName("run 1", before) ||
                 asked.suggestedName == FileCommands::suggestedName("run 1", after),
             qPrintable(asked.suggestedName));
    QVERIFY(asked.suggestedName.startsWith(QStringLiteral("run 1 ") +
                                           before.toString(QStringLiteral("yyyy-MM-dd"))));
    QVERIFY(!asked.suggestedName.contains(u'.'));
    QCOMPARE(FileCommands::suggestedName("a/b:c*d?", before).section(u' ', 0, 0),
             QStringLiteral("b-c-d-"));

    QStringList lines = QString::fromUtf8(readAll(path)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.takeFirst().toUtf8() + "\r\n", PortableCsv::header());
    struct Row {
        std::optional<QDateTime> time;
        const char* value;
        const char* unit;
        const char* si;
        const char* siUnit;
        const char* function;
    };
    const QDate day(2026, 12, 8);
    const Row expected[] = {
        {QDateTime(day, QTime(14, 3, 2)), "1.234", "mV", "0.001234", "V", "Voltage"},
        {QDateTime(day, QTime(14, 3, 3)), "-0.500", "mV", "-0.0005", "V", "Voltage"},
        {QDateTime(day, QTime(14, 3, 4)), "OL", "mV", "", "", "Voltage"},
        {std::nullopt, "2.5", "V", "2.5", "V", "Voltage"},
        {QDateTime(day.addDays(1), QTime(0, 0, 1)), "12.5", "KOhm", "12500", "Ohm", "Resistance"},
    };
    for (int i = 0; i < 5; ++i) {
        const QList<QByteArray> f = PortableCsv::splitLine(lines[i].toUtf8());
        QCOMPARE(f.size(), PortableCsv::ColumnCount);
        QCOMPARE(f[PortableCsv::Row].toInt(), i + 1);
        const Row& e = expected[i];
        if (e.time)
            QCOMPARE(PortableCsv::parseTime(f[PortableCsv::Time]).value_or(QDateTime()).toMSecsSinceEpoch(),
                     e.time->toMSecsSinceEpoch());
        else
            QVERIFY(f[PortableCsv::Time].isEmpty());
        QCOMPARE(f[PortableCsv::Value], QByteArray(e.value));
        QCOMPARE(f[PortableCsv::Unit], QByteArray(e.unit));
        if (*e.si)
            QCOMPARE(f[PortableCsv::SiValue].toDouble(), QByteArray(e.si).toDouble());
        else
            QVERIFY(f[PortableCsv::SiValue].isEmpty());
        QCOMPARE(f[PortableCsv::SiUnit], QByteArray(e.siUnit));
        QCOMPARE(f[PortableCsv::Function], QByteArray(e.function));
    }

    // Another reader, another locale: the rows with a time come back in its formats.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto german = qScopeGuard(
        [] { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); });
    m_expectedFolder = QFileInfo(path).absolutePath();
    ListWindow* back = openFile(path);
    QVERIFY(back);
    QCOMPARE(back->recordTable->gridRowCount(), 6);
    QCOMPARE(back->recordTable->cells(1, 1), DateTimeText::dateString(day));
    QCOMPARE(back->recordTable->cells(3, 2), QStringLiteral("-0.500"));
    QCOMPARE(back->recordTable->cells(3, 4), QStringLiteral("2.5"));
    QCOMPARE(back->recordTable->cells(4, 5), QStringLiteral("KOhm"));
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'|')));
    // The graph places the rows with a time and says which one it could not.
    ListGraphWindow* graph = graphOf(back);
    QVERIFY(graph);
    QCOMPARE(float(graph->chart->yData(0, 0)), 1.234f);
    QCOMPARE(float(graph->chart->yData(0, 1)), -0.5f);
    QVERIFY2(m_messages.join(u' ').contains(QStringLiteral("row 4")),
             qPrintable(m_messages.join(u'|')));
}

// Ranges typed into the range dialog, a name that is not an integer, a save that cannot be
// written, and Cancel in the progress window.
void TestFileCommands::saveRangesFailuresAndCancel() {
    QStringList ten;
    for (int r = 1; r <= 10; ++r)
        ten << QString("d%1|t|%1|V|").arg(r);
    listOf(ten);
    const struct {
        const char* from;
        const char* to;
        QStringList lines;
    } cases[] = {
        {"-3", "4", {"d3|t|3|V||", "d4|t|4|V||"}},
        {"50", "60", {}},
        {"0", "2", {"d1|t|1|V||", "d2|t|2|V||"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString path = m_dir.filePath(QString("range%1.txt").arg(n++));
        m_nextFile = path;
        answerRange(c.from, c.to);
        m_files->saveActiveTable();
        QVERIFY(QFile::exists(path));
        QCOMPARE(linesOf(path, '\t'), c.lines);
    }
    const QString letters = m_dir.filePath("letters.txt");
    m_nextFile = letters;
    answerRange("x", "4");
    m_files->saveActiveTable();
    QCOMPARE(m_messages, QStringList{"invalid integer"});
    QVERIFY(!QFile::exists(letters));

    // Cancel in the range dialog writes nothing.
    whenShown("Save File", [](RangeProgressDialog* s) { s->cancelButton->click(); });
    m_files->saveActiveTable();
    QVERIFY(!QFile::exists(letters));

    // A save that cannot be written says where and why.
    m_messages.clear();
    const QString nowhere = m_dir.filePath("no/such/folder/a.txt");
    m_nextFile = nowhere;
    answerRange();
    m_files->saveActiveTable();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].contains(QDir::toNativeSeparators(nowhere)) &&
                 m_messages[0].contains("does not exist"),
             qPrintable(m_messages[0]));

    // Cancel in the progress window: a new file keeps the lines written so far, an existing
    // file is left as it was, and the message says which happened.
    QStringList many;
    for (int r = 1; r <= 300000; ++r)
        many << QString("d|t|%1|V|").arg(r);
    listOf(many);
    const QString kept = m_dir.filePath("kept.txt");
    writeFile(kept, "old\r\n");
    m_nextFile = kept;
    answerRange();
    whenShown("Saving Progress", [](RangeProgressDialog* s) { s->cancelButton->click(); });
    m_messages.clear();
    m_files->saveActiveTable();
    QCOMPARE(readAll(kept), QByteArray("old\r\n"));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].contains("left as it was"), qPrintable(m_messages[0]));

    const QString cancelledNew = m_dir.filePath("cancelled-new.txt");
    m_nextFile = cancelledNew;
    answerRange();
    whenShown("Saving Progress", [](RangeProgressDialog* s) { s->cancelButton->click(); });
    m_messages.clear();
    m_files->saveActiveTable();
    const QStringList lines = linesOf(cancelledNew, '\t');
    QVERIFY2(!lines.isEmpty() && lines.size() < 300000, qPrintable(QString::number(lines.size())));
    QCOMPARE(lines.first(), "d|t|1|V||");
    QCOMPARE(lines.last(), QString("d|t|%1|V||").arg(lines.size()));
    QVERIFY(readAll(cancelledNew).endsWith("\r\n"));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].contains(QString("first %1 rows").arg(lines.size())),
             qPrintable(m_messages[0]));
}

// Lines of any practical length, one beyond the limit, a file that cannot be opened, Cancel
// while opening; every Open makes a new window.
void TestFileCommands::openEdgeCases() {
    const QString longLines = m_dir.filePath("long.txt");
    const QByteArray wide(20000, 'w');
    writeFile(longLines,
              "a\t" + wide + "\t\r\nb\tc\t" + QByteArray(70000, 'x') + "\t\r\nlost\t\r\n");
    ListWindow* list = openFile(longLines);
    QVERIFY(list);
    QCOMPARE(list->recordTable->gridRowCount(), 3);
    QCOMPARE(list->recordTable->cells(2, 1), QString::fromLatin1(wide));
    QCOMPARE(list->recordTable->cells(2, 2), "c");
    QCOMPARE(list->recordTable->cells(3, 2).size(), 65536 - 4); // cut at the limit
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].contains("Line 2") && m_messages[0].contains("65536"),
             qPrintable(m_messages[0]));

    m_messages.clear();
    QVERIFY(!openFile(m_dir.filePath("gone.txt")));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages[0].contains("gone.txt"));

    // A pipe is refused before it is opened (opening it would block until a writer comes;
    // with no writer this test would hang), and so is a device that never ends.
    const QString fifo = m_dir.filePath("pipe.txt");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString path;
        const char* says;
    } refused[] = {{fifo, "pipe"}, {QStringLiteral("/dev/urandom"), "device"}};
    for (const auto& c : refused) {
        m_messages.clear();
        QVERIFY(!openFile(c.path));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].contains(c.says) &&
                     m_messages[0].contains(QDir::toNativeSeparators(c.path)),
                 qPrintable(m_messages[0]));
    }

    QByteArray lines;
    for (int r = 1; r <= 300000; ++r)
        lines += "d\tt\t" + QByteArray::number(r) + "\tV\t\r\n";
    const QString big = m_dir.filePath("big.txt");
    writeFile(big, lines);
    whenShown("Open Progress", [](RangeProgressDialog* s) {
        QTimer::singleShot(30, s->cancelButton, &QPushButton::click);
    });
    ListWindow* cut = openFile(big);
    QVERIFY(cut && cut != list);
    const int rows = cut->recordTable->gridRowCount() - 1;
    QVERIFY2(rows < 300000, qPrintable(QString::number(rows)));
    if (!cut->recordTable->cells(0, rows).isEmpty())
        QCOMPARE(cut->recordTable->cells(3, rows), QString::number(rows));
    QCOMPARE(m_area->subWindowList().size(), 2);
}

// The Y scale of a list graph: 105 / -18 widened by the numbers only, then a tenth and 20.
void TestFileCommands::graphScale() {
    const QString day = QLocale().toString(QDate(2025, 3, 7), "dd.MM.yyyy");
    const auto rows = [&](const QStringList& values) {
        QStringList out;
        int s = 0;
        for (const QString& v : values)
            out << QString("%1|10:00:%2|%3|V|").arg(day).arg(s++, 2, 10, QChar('0')).arg(v);
        return out;
    };
    // The fixed scale is kept; the chart opens fitted to the data where that scale would draw
    // it flatter than a tenth of the plot.
    const struct {
        QStringList values;
        float ymin, ymax;
        bool fitted;
    } cases[] = {
        {{"1", "1,5", "2"}, -39.8f, 135.5f, true},  {{"500", "3"}, -39.8f, 570.0f, false},
        {{"-300", "1"}, -350.0f, 135.5f, false},    {{"-30", "-40", "-45"}, -69.5f, 135.5f, true},
        {{"OL", "-OL", "1"}, -39.8f, 135.5f, false}, {{"7"}, -39.8f, 135.5f, true},
    };
    for (const auto& c : cases) {
        ListGraphWindow* graph = graphOf(listOf(rows(c.values)));
        QVERIFY(graph);
        Chart* chart = graph->chart;
        QCOMPARE(float(chart->manualMinY()), c.ymin);
        QCOMPARE(float(chart->manualMaxY()), c.ymax);
        QCOMPARE(chart->fittedToData(), c.fitted);
        QCOMPARE(chart->valueUnit(), QStringLiteral("V"));
        if (c.fitted) {
            const QCPRange y = chart->plot()->yAxis->range();
            QVERIFY2(y.lower > c.ymin && y.upper < c.ymax,
                     qPrintable(QStringLiteral("%1..%2").arg(y.lower).arg(y.upper)));
        }
        // Overloads are drawn but not measured.
        QCOMPARE(chart->rangeStatistics().overloads, c.values[0] == "OL" ? 2 : 0);
        QCOMPARE(chart->points(), int(c.values.size()));
        if (c.values[0] == "OL") {
            QCOMPARE(chart->yData(0, 0), 6553.5f);
            QCOMPARE(chart->yData(0, 1), -6553.5f);
            QCOMPARE(chart->yData(1, 0), 4000.0f);
            QCOMPARE(chart->yData(1, 1), -4000.0f);
        }
    }
    QVERIFY(m_messages.isEmpty());

    // A row whose time does not convert: no subset-0 x, the previous x in subset 1.
    ListGraphWindow* gap =
        graphOf(listOf({day + "|10:00:00|1|V|", day + "|late|2|V|", day + "|10:00:09|3|V|"}));
    QVERIFY(gap);
    QCOMPARE(gap->chart->xData(0, 1), 0.0);
    QCOMPARE(gap->chart->xData(1, 1), gap->chart->xData(0, 0));
    // ... and the user is told which row was left out.
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].contains("row 2") && m_messages[0].contains("late"),
             qPrintable(m_messages[0]));
    m_messages.clear();

    // Numbers no chart point can stand for are told apart from texts that are no number, each
    // with its first row; the numbers beside them still widen the scale.
    ListGraphWindow* odd = graphOf(listOf(rows({"1", "inf", "1e39", "abc", "-NaN", "300"})));
    QVERIFY(odd);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].contains("1 row(s) with a value that is not a number were left out "
                                    "(the first: row 4, 'abc')") &&
                 m_messages[0].contains("3 row(s) with a value a graph cannot draw (infinite, "
                                        "NaN or beyond 3.4e38) were left out (the first: row 2, "
                                        "'inf')"),
             qPrintable(m_messages[0]));
    QCOMPARE(float(odd->chart->manualMaxY()), 350.0f);
    m_messages.clear();

    // One row: its point in the middle of a time axis that has a span, and a value axis too.
    ListGraphWindow* one = graphOf(listOf({day + "|10:00:00|5|V|"}));
    QVERIFY(one);
    const QCPRange x = one->chart->plot()->xAxis->range();
    const double key = one->chart->plot()->graph(0)->data()->constBegin()->key;
    QVERIFY2(x.size() > 0 && x.contains(key) && key > x.lower && key < x.upper,
             qPrintable(QString("%1 .. %2, point at %3").arg(x.lower).arg(x.upper).arg(key)));
    QVERIFY(one->chart->plot()->yAxis->range().contains(5));

    ListWindow* empty = listOf({});
    empty->recordTable->setRowCount(2);
    QVERIFY(!graphOf(empty));
    QCOMPARE(m_messages, QStringList{"No data to graph !"});
    m_messages.clear();
    QVERIFY(!graphOf(listOf({"someday|10:00:00|1|V|"})));
    QCOMPARE(m_messages, QStringList{"'someday 10:00:00' is not a valid date and time"});
    // Nine lists with their graphs and two lists without: no window left by the failures.
    QCOMPARE(m_area->subWindowList().size(), 9 * 2 + 2);
}

// Scale reads and writes the target chart's bounds; Undo Zoom acts on the active window only.
void TestFileCommands::scaleAndUndoZoom() {
    const QString day = QLocale().toString(QDate(2025, 3, 7), "dd.MM.yyyy");
    ListGraphWindow* graph = graphOf(listOf({day + "|10:00:00|1|V|", day + "|10:00:01|2|V|"}));
    QVERIFY(graph);
    Chart* chart = graph->chart;
    QVERIFY(m_files->undoZoomAction->isEnabled());

    QStringList shown;
    const auto scale = [&](const QString& top, const QString& bottom) {
        whenShown("Customize graph scale", [&, top, bottom](RangeProgressDialog* s) {
            shown << s->fromEdit->text() << s->toEdit->text();
            QVERIFY(!s->allRowsButton->isVisible() && s->fromEdit->isVisible());
            s->fromEdit->setText(top);
            s->toEdit->setText(bottom);
            s->okButton->click();
        });
        m_files->editScale();
    };
    scale("10", "50");
    QCOMPARE(shown, (QStringList{"135", "-39"}));
    QCOMPARE(chart->manualMinY(), 10.0);
    QCOMPARE(chart->manualMaxY(), 50.0);
    scale("2,5", "2,5");
    QCOMPARE(chart->manualMinY(), 2.5);
    QCOMPARE(chart->manualMaxY(), 2.5);
    scale("0,1", "-1");
    QCOMPARE(chart->manualMaxY(), double(0.1f));
    scale("abc", "");
    QCOMPARE(m_messages, (QStringList{"abc is invalid number !", " is invalid number !"}));
    QCOMPARE(chart->manualMaxY(), double(0.1f));
    QCOMPARE(chart->manualMinY(), -1.0);
    // Numbers without a place on an axis are refused as well.
    m_messages.clear();
    scale("nan", "inf");
    QCOMPARE(m_messages, (QStringList{"nan is invalid number !", "inf is invalid number !"}));
    QCOMPARE(chart->manualMaxY(), double(0.1f));

    // Undo Zoom leaves a zoomed view of the active chart.
    const QCPRange whole = chart->plot()->xAxis->range();
    chart->plot()->xAxis->setRange(whole.lower, whole.lower + 1e-6);
    m_files->undoZoomAction->trigger();
    QCOMPARE(chart->plot()->xAxis->range(), whole);

    // Another window active (the LCD panel, say) with the recorder open: Scale edits the
    // recorder's chart, Undo Zoom is not offered.
    auto* rtc = new RecorderWindow(*m_recorder, *m_link);
    m_rtc = rtc;
    addChildWindow(m_area, rtc, ChildWindowStyle::Sizeable);
    rtc->setupChart();
    auto* lcd = new QWidget;
    lcd->resize(100, 100);
    m_area->setActiveSubWindow(addChildWindow(m_area, lcd, ChildWindowStyle::FixedSingle));
    QVERIFY(!m_files->undoZoomAction->isEnabled() && !m_files->graphAction->isEnabled());
    QCOMPARE(m_files->scaleTarget(), rtc->chart);
    m_messages.clear();
    scale("300", "-300");
    QCOMPARE(rtc->chart->manualMaxY(), 300.0);
    QCOMPARE(rtc->chart->manualMinY(), -300.0);
    QCOMPARE(chart->manualMinY(), -1.0);
    m_rtc = nullptr;
    delete childWindowOf(rtc);
    QVERIFY(!m_files->scaleTarget());
}

// The quick time reading gives what the general parser gives, in a 24-hour and a 12-hour
// locale, and refuses what the general parser refuses.
void TestFileCommands::quickTimeReadingAgreesWithTheGeneralOne() {
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        ListDateTimeReader reader;
        const QDateTime start(QDate(2024, 12, 31), QTime(23, 59, 0));
        for (int s = 0; s < 7200; s += 7) {
            const QDateTime t = start.addSecs(s);
            const QString date = DateTimeText::dateString(t.date());
            const QString time = DateTimeText::timeString(t.time());
            const auto quick = reader.read(date, time);
            QVERIFY2(quick, qPrintable(date + ' ' + time));
            QCOMPARE(*quick, *ListDateTimeReader::readSlowly(date + ' ' + time));
            QVERIFY(sameTime(*quick, dateTimeToDays(t)));
        }
        QVERIFY(!reader.read(DateTimeText::dateString(start.date()), "25:00:00"));
        // A time without seconds (the short form) reads as whole minutes.
        QVERIFY(sameTime(*reader.read(DateTimeText::dateString(start.date()), "10:00"),
                         dateTimeToDays(QDateTime(start.date(), QTime(10, 0)))));
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

// The words of a PDF with their boxes, page by page (pdftotext -bbox).
QList<QList<TestFileCommands::Word>> TestFileCommands::pdfWords(const QString& pdf,
                                                                double* pageHeight) {
    QProcess p;
    p.start("pdftotext", {"-bbox", pdf, "-"});
    if (!p.waitForFinished(20000))
        return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    QList<QList<Word>> pages;
    static const QRegularExpression tag(
        R"re(<page width="([\d.]+)" height="([\d.]+)">|<word xMin="([\d.]+)" yMin="([\d.]+)" )re"
        R"re(xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (!m.captured(1).isEmpty()) {
            pages.append(QList<Word>());
            *pageHeight = m.captured(2).toDouble();
        } else if (!pages.isEmpty()) {
            pages.last().append(Word{m.captured(3).toDouble(), m.captured(4).toDouble(),
                                     m.captured(5).toDouble(), m.captured(6).toDouble(),
                                     m.captured(7)});
        }
    }
    for (auto& page : pages)
        std::sort(page.begin(), page.end(), [](const Word& a, const Word& b) {
            return a.yMin != b.yMin ? a.yMin < b.yMin : a.xMin < b.xMin;
        });
    return pages;
}

// The table printout: on every page the title line with "page n of m", the captions and as
// many rows as fit; every column at one x on every line (row numbers of one and of three
// digits, captions and cells alike), units as the meter writes them, the last column left out;
// the print dialog's copies and page range honoured; the output file asked for each time.
// File > Print and the tool-bar print both print it, on the page chosen in Printer Setup.
void TestFileCommands::gridPrintout() {
    QStringList rows;
    for (int r = 1; r <= 150; ++r)
        rows << QString("07.03.2025|10:00:%1|%2|%3|x")
                    .arg(r % 60, 2, 10, QChar('0'))
                    .arg(r * 1.5)
                    .arg(r % 2 ? "KOhm" : "uA");
    ListWindow* list = listOf(rows);
    const QString pdf = m_dir.filePath("grid.pdf");
    QPrinter* asked = nullptr;
    Printing& printing = m_files->printing();
    printing.setDialogHook([&](QPrinter& printer) {
        asked = &printer;
        printer.setPageOrientation(QPageLayout::Landscape);
        return true;
    });
    m_files->setUpPrinter();
    QCOMPARE(asked, &printing.printer());
    // The print dialog: the file is chosen there (none is remembered from an earlier print).
    int copies = 1;
    int fromPage = 0, toPage = 0;
    printing.setDialogHook([&](QPrinter& printer) {
        asked = &printer;
        if (!printer.outputFileName().isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setCopyCount(copies);
        printer.setCollateCopies(true);
        if (fromPage > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(fromPage, toPage);
        }
        return true;
    });
    m_files->print();
    QCOMPARE(asked, &printing.printer());
    QCOMPARE(printing.printer().pageLayout().orientation(), QPageLayout::Landscape);
    QVERIFY(printing.printer().outputFileName().isEmpty());
    double pageHeight = 0;
    const auto pages = pdfWords(pdf, &pageHeight);
    const int pageCount = int(pages.size());
    QVERIFY(pageCount >= 2);

    const QString title = list->windowTitle();
    int tableRows = 0;
    QStringList firstWords;
    for (int p = 0; p < pageCount; ++p) {
        // Lines are told apart by their tops.
        QMap<double, QList<Word>> lines;
        for (const Word& w : pages[p]) {
            QVERIFY2(w.yMax <= pageHeight, qPrintable(w.text));
            QVERIFY(w.text != "x"); // the last column is not printed
            lines[w.yMin] << w;
        }
        const QList<Word> titleLine = lines.first();
        QStringList titleWords;
        for (const Word& w : titleLine)
            titleWords << w.text;
        const QString titleText = titleWords.join(' ');
        QVERIFY2(titleText.startsWith(title + " printed "), qPrintable(titleText));
        QVERIFY2(titleText.endsWith(QString("page %1 of %2").arg(p + 1).arg(pageCount)),
                 qPrintable(titleText));
        lines.remove(lines.firstKey());
        // Captions and rows: five words each, every column at the captions' x.
        const QList<Word> captions = lines.first();
        QCOMPARE(captions.size(), 5);
        QCOMPARE(captions[0].text, "NO");
        QCOMPARE(captions[4].text, "Range");
        for (const auto& line : lines) {
            QCOMPARE(line.size(), 5);
            for (int c = 0; c < 5; ++c)
                QVERIFY2(qAbs(line[c].xMin - captions[c].xMin) < 0.01,
                         qPrintable(QString("page %1, '%2' at %3, its caption at %4")
                                        .arg(p + 1)
                                        .arg(line[c].text)
                                        .arg(line[c].xMin)
                                        .arg(captions[c].xMin)));
            // Columns stand apart.
            for (int c = 1; c < 5; ++c)
                QVERIFY(line[c].xMin > line[c - 1].xMax);
            if (line[0].text != "NO") {
                firstWords << line[0].text;
                QVERIFY2(line[4].text == QString::fromUtf8("kΩ") ||
                             line[4].text == QString::fromUtf8("µA"),
                         qPrintable(line[4].text));
            }
        }
        tableRows += int(lines.size()) - 1;
    }
    QCOMPARE(tableRows, 150);
    QCOMPARE(firstWords.mid(0, 2), (QStringList{"1", "2"}));
    QCOMPARE(firstWords.last(), "150");

    // Two copies: every page twice, copy after copy.
    copies = 2;
    m_files->print();
    QCOMPARE(pdfWords(pdf, &pageHeight).size(), 2 * pageCount);
    // Only page 2 of it.
    copies = 1;
    fromPage = toPage = 2;
    m_files->print();
    const auto second = pdfWords(pdf, &pageHeight);
    QCOMPARE(second.size(), 1);
    QStringList words;
    for (const Word& w : second[0])
        words << w.text;
    QVERIFY(words.join(' ').contains(QString("page 2 of %1").arg(pageCount)));

    // A failed start is reported, not silent.
    printing.setDialogHook([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_dir.filePath("no/such/folder/g.pdf"));
        return true;
    });
    m_messages.clear();
    QVERIFY(!ErrorBoundary::Run([&] { m_files->print(); }));
}

// A chart print in paper colours; the screen colours and solid lines come back after a
// cancelled dialog and after a print that could not start. The print command prints a
// list-graph window's chart on the program's printer.
void TestFileCommands::chartPrintRestoresColours() {
    const QString day = QLocale().toString(QDate(2025, 3, 7), "dd.MM.yyyy");
    ListGraphWindow* graph = graphOf(listOf({day + "|10:00:00|1|V|", day + "|10:00:01|2|V|"}));
    QVERIFY(graph);
    const QString pdf = m_dir.filePath("graph.pdf");
    QPrinter* asked = nullptr;
    m_files->printing().setDialogHook([&](QPrinter& printer) {
        asked = &printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    m_files->print();
    QCOMPARE(asked, &m_files->printing().printer());
    QVERIFY(readAll(pdf).startsWith("%PDF-"));
    // One page under the graph's title.
    double pageHeight = 0;
    const auto pages = pdfWords(pdf, &pageHeight);
    QCOMPARE(pages.size(), 1);
    QVERIFY(!pages[0].isEmpty());
    QCOMPARE(pages[0][0].text, graph->windowTitle().section(' ', 0, 0));
    QCOMPARE(graph->chart->graphBackColor(), PEColor(0x000000)); // the screen colours are back

    Chart chart;
    chart.setSubsetColors(0, 0x00FFFF);
    chart.setSubsetColors(1, 0x0000FF);
    chart.setSubsetLineTypes(1, 3);
    chart.setGraphBackColor(0x000000);
    chart.setDeskColor(0xC0C0C0);
    chart.setTextColor(0xFFFFFF);
    const auto check = [&] {
        QCOMPARE(chart.subsetColors(0), PEColor(0x00FFFF));
        QCOMPARE(chart.subsetColors(1), PEColor(0x0000FF));
        QCOMPARE(chart.graphBackColor(), PEColor(0x000000));
        QCOMPARE(chart.deskColor(), PEColor(0xC0C0C0));
        QCOMPARE(chart.textColor(), PEColor(0xFFFFFF));
        QCOMPARE(chart.subsetLineTypes(1), 0);
        QCOMPARE(chart.subsetLineTypes(2), 0);
    };
    Printing printing;
    PEColor during = 1;
    printing.setDialogHook([&](QPrinter&) {
        during = chart.graphBackColor() | chart.subsetColors(0) << 1;
        return false;
    });
    printChartInPaperColours(printing, &chart, nullptr);
    QCOMPARE(during, PEColor(0xFFFFFF));
    check();
    printing.setDialogHook([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_dir.filePath("no/such/folder/c.pdf"));
        return true;
    });
    QVERIFY_THROWS_EXCEPTION(ChartError, printChartInPaperColours(printing, &chart, nullptr));
    check();
}

QTEST_MAIN(TestFileCommands)
#include "test_filecommands.moc"
