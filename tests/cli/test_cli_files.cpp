// What ql350-cli writes in the portable format, read by the program and by others: live
// readings and a logger download opened through File > Open into a list window and graphed,
// and the same files read by a plain RFC 4180 reader that finds every documented column by
// its header name.

#include "support/metersimprocess.h"
#include "chart.h"
#include "dialogs.h"
#include "filecommands.h"
#include "listgraphwindow.h"
#include "listwindow.h"
#include "loggerimagebuilder.h"
#include "stringgrid.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QtTest>

#include <cmath>

namespace {

// RFC 4180 as a spreadsheet reads it, written here from the RFC and not from the program's
// writer: records end with CRLF (a bare LF is taken too), fields split on commas, a field
// that starts with a quote runs to the closing quote, "" inside it is one quote, and quoted
// fields may hold commas and line breaks. Returns nothing when a quote is left open.
std::optional<QList<QStringList>> readRfc4180(const QByteArray& bytes) {
    QList<QStringList> records;
    QStringList record;
    QByteArray field;
    bool quoted = false;
    bool fieldStarted = false;
    auto endField = [&] {
        record += QString::fromUtf8(field);
        field.clear();
        fieldStarted = false;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted) {
            if (c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            endField();
            records += record;
            record.clear();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (fieldStarted || !record.isEmpty()) {
        endField();
        records += record;
    }
    return records;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Cli {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

Cli runCli(const QStringList& arguments) {
    QProcess p;
    p.start(qEnvironmentVariable("QL_BIN_DIR") + "/ql350-cli", arguments);
    Cli r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

class TestCliFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void portableFilesOpenGraphAndReadAnywhere();

private:
    // The file opened and graphed; its chart's values are compared with `values`.
    void openAndGraph(const QString& path, const QList<double>& values);

    QTemporaryDir m_dir;
};

void TestCliFiles::initTestCase() {
    QVERIFY(m_dir.isValid());
    // A German user: the program reads the portable file's dot decimals all the same.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Dialogs::setAnswerer([](const Dialogs::Request& r) {
        qWarning("message: %s", qPrintable(r.text));
        return QMessageBox::Ok;
    });
}

void TestCliFiles::openAndGraph(const QString& path, const QList<double>& values) {
    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    FileCommands files(&area, &area);
    files.attach({});
    ListWindow* list = nullptr;
    connect(&files, &FileCommands::listOpened, this, [&](ListWindow* l) { list = l; });
    files.openPath(path);
    QVERIFY2(list, qPrintable(path));
    QCOMPARE(list->recordTable->gridRowCount(), int(values.size()) + 1);
    ListGraphWindow* graph = nullptr;
    connect(&files, &FileCommands::graphMade, this, [&](ListGraphWindow* g) { graph = g; });
    files.graphAction->trigger();
    QVERIFY2(graph, qPrintable(path));
    // A point per row; an overload ("OL") is drawn at the top of the plot.
    QCOMPARE(graph->chart->points(), int(values.size()));
    for (int i = 0; i < values.size(); ++i) {
        QCOMPARE(float(graph->chart->yData(0, i)),
                 std::isnan(values[i]) ? 6553.5f : float(values[i]));
        QVERIFY(i == 0 || graph->chart->xData(0, i) >= graph->chart->xData(0, i - 1));
    }
}

void TestCliFiles::portableFilesOpenGraphAndReadAnywhere() {
    // Live readings: volts DC with a trailing zero, negative, AC, a held value, ohms.
    const QString script = m_dir.filePath("live.txt");
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("11230;00:\n10567;40:\n20123;006\n10042;04:\n010053002\n");
    }
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--interval", "20", "--script", script}));
    const Cli live = runCli({"live", "--port", sim.path, "--count", "10", "--format", "csv"});
    QCOMPARE(live.code, 0);
    const QString livePath = m_dir.filePath("live.csv");
    {
        QFile f(livePath);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(live.out) == live.out.size());
    }

    // The logger memory: two sets, the first with an overload.
    LoggerImageBuilder builder;
    builder.setTimeLabel(QDateTime(QDate(2016, 7, 19), QTime(10, 30, 0)));
    LoggerDataSet volts;
    volts.function = 11;
    volts.coupling = 2;
    volts.interval = 10000;
    volts.records = {LoggerDataSet::record(1, 1234), LoggerDataSet::record(1, -567),
                     LoggerDataSet::overload(1)};
    builder.addSet(volts);
    QString error;
    QVERIFY(LoggerImageBuilder::save(m_dir.filePath("one.bin"), builder.image(), &error));
    MeterSimProcess logger;
    QVERIFY(logger.start({"--instant", "--image", m_dir.filePath("one.bin")}));
    const QString sets = m_dir.filePath("sets");
    const Cli download =
        runCli({"download", "--port", logger.path, "--out", sets, "--format", "csv"});
    QCOMPARE(download.code, 0);

    const QStringList columns{"row",    "time",     "value", "unit",  "si_value",
                              "si_unit", "function", "coupling", "range", "flags"};
    struct Expected {
        QString path;
        int rows;
    };
    for (const Expected& e : {Expected{livePath, 10}, Expected{sets + "/set001.csv", 3}}) {
        const QByteArray bytes = readFile(e.path);
        QVERIFY2(bytes.endsWith("\r\n"), qPrintable(e.path));
        const auto records = readRfc4180(bytes);
        QVERIFY(records);
        QCOMPARE(records->size(), e.rows + 1);
        QCOMPARE(records->first(), columns);
        QList<double> values;
        for (int r = 1; r < records->size(); ++r) {
            QStringList row = (*records)[r];
            QCOMPARE(row.size(), columns.size());
            const auto field = [&](const char* name) { return row[columns.indexOf(name)]; };
            QCOMPARE(field("row").toInt(), r);
            const QDateTime when = QDateTime::fromString(field("time"), Qt::ISODateWithMs);
            static const QRegularExpression withOffset(QStringLiteral("\\.\\d{3}[+-]\\d\\d:\\d\\d$"));
            QVERIFY2(when.isValid() && withOffset.match(field("time")).hasMatch(),
                     qPrintable(field("time")));
            const QString value = field("value");
            if (value.endsWith("OL")) {
                QVERIFY(field("si_value").isEmpty());
                QVERIFY(field("flags").split(' ').contains("overload"));
                values += std::nan("");
            } else {
                bool ok = false;
                values += value.toDouble(&ok);
                QVERIFY2(ok, qPrintable(value));
                QVERIFY(!field("si_unit").isEmpty());
                field("si_value").toDouble(&ok);
                QVERIFY(ok);
            }
            QVERIFY(!field("function").isEmpty());
            if (e.path == livePath) {
                QVERIFY(QStringList({"auto", "manual"}).contains(field("range")));
                QVERIFY(QStringList({"AC", "DC", ""}).contains(field("coupling")));
            } else {
                QCOMPARE(field("coupling"), QStringLiteral("DC"));
                QVERIFY(field("range").isEmpty()); // records do not tell
            }
        }
        if (e.path == livePath) // the meter's own digits, trailing zero and all
            QVERIFY2(bytes.contains(",1.230,V,1.23,V,"), bytes.constData());
        openAndGraph(e.path, values);
    }
}

QTEST_MAIN(TestCliFiles)
#include "test_cli_files.moc"
