// Data files across regional settings: recorder and logger rows saved under each of ten locales
// (Qt's own locale data, whatever the machine has) are opened and graphed under each of the
// ten, with the same times and values; negative values survive in every pair, and nothing a
// locale's formats leave behind (bidi marks before numbers, empty brackets of a time zone) is
// written.

#include "chart.h"
#include "datafilereader.h"
#include "datafilewriter.h"
#include "datetimetext.h"
#include "daycount.h"
#include "framedecoder.h"
#include "listgraph.h"
#include "loggertext.h"
#include "stringgridmodel.h"
#include "timechartsetup.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const char* const kLocales[] = {"en_US", "en_GB", "de_DE", "fr_FR", "es_ES",
                                "he_IL", "fa_IR", "zh_TW", "ja_JP", "hi_IN"};

struct Sample {
    QDateTime when;
    double value;
    int decimals;
};

// Two days whose order of day and month can be told apart (6 May and 14 May), morning and
// afternoon, negative values and one below a thousandth.
QList<Sample> samples() {
    const QDateTime start(QDate(2024, 5, 6), QTime(9, 30, 0));
    return {{start, -1.5, 3},
            {start.addSecs(4 * 3600 + 61), 12.345, 3},
            {start.addDays(8).addSecs(3 * 3600 + 7), -0.001, 3},
            {start.addDays(8).addSecs(11 * 3600 + 59), 3999, 0}};
}

// The rows as the recorder's table holds them (number, date, time, value, unit) or as the
// data-logger window's does; the logger writes its own short date and a 24-hour time.
void fill(StringGridModel& grid, bool logger) {
    const QList<Sample> s = samples();
    grid.setColCount(6);
    grid.setRowCount(int(s.size()) + 1);
    grid.setFixedRows(1);
    grid.setFixedCols(1);
    for (int i = 0; i < s.size(); ++i) {
        const Sample& x = s[i];
        const QStringList cells =
            logger ? QStringList{QString::number(i + 1), LoggerText::date(x.when.date()),
                                 LoggerText::time(x.when.time()),
                                 LoggerText::value(float(x.value), x.decimals), "V", ""}
                   : QStringList{QString::number(i + 1), DateTimeText::dateString(x.when.date()),
                                 DateTimeText::timeString(x.when.time()),
                                 FrameDecoder::fixedText(x.value, x.decimals), "V", ""};
        grid.setRow(i + 1, cells);
    }
}

} // namespace

class TestLocales : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void savedAnywhereGraphsAnywhere_data();
    void savedAnywhereGraphsAnywhere();
    void cleanup() { QLocale::setDefault(QLocale::c()); }

private:
    QTemporaryDir m_dir;
};

void TestLocales::savedAnywhereGraphsAnywhere_data() {
    QTest::addColumn<QString>("writer");
    QTest::addColumn<bool>("logger");
    QTest::addColumn<QString>("suffix");
    for (const char* w : kLocales) {
        for (const bool logger : {false, true}) {
            for (const char* suffix : {"txt", "csv", "portable"}) {
                QTest::addRow("%s %s .%s", w, logger ? "logger" : "recorder", suffix)
                    << QString::fromLatin1(w) << logger << QString::fromLatin1(suffix);
            }
        }
    }
}

void TestLocales::savedAnywhereGraphsAnywhere() {
    QFETCH(QString, writer);
    QFETCH(bool, logger);
    QFETCH(QString, suffix);
    QLocale::setDefault(QLocale(writer));
    StringGridModel saved;
    fill(saved, logger);
    // The portable format keeps times as UTC offsets: it is written and read in a zone with
    // daylight saving, so that the offsets matter.
    const bool portable = suffix == QLatin1String("portable");
    const QByteArray zone = qgetenv("TZ");
    const auto restoreZone = qScopeGuard([&] {
        if (zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
    });
    if (portable)
        qputenv("TZ", "America/New_York");
    const QString path =
        m_dir.filePath(QStringLiteral("%1-%2.%3")
                           .arg(writer, logger ? "logger" : "recorder", portable ? "csv" : suffix));
    const auto result = DataFileWriter::save(
        path, saved, DataFileWriter::allRows(saved.gridRowCount()), nullptr,
        DataFileWriter::OnCancel::Discard,
        portable ? DataFileWriter::Layout::Portable : DataFileWriter::Layout::Plain);
    QVERIFY2(result.saved(), qPrintable(result.error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const QChar mark : {QChar(0x200E), QChar(0x200F), QChar(0x061C)})
        QVERIFY2(!text.contains(mark), qPrintable(text));
    QVERIFY2(!text.contains("()") && !text.contains("[]"), qPrintable(text));

    const QList<Sample> expected = samples();
    for (const char* reader : kLocales) {
        QLocale::setDefault(QLocale(QString::fromLatin1(reader)));
        StringGridModel opened;
        opened.setColCount(6);
        opened.setRowCount(2);
        opened.setFixedRows(1);
        opened.setFixedCols(1);
        const auto read = DataFileReader::read(path, opened);
        QCOMPARE(read.rows, int(expected.size()));
        Chart chart;
        setupTimeChart(&chart, read.rows, dateTimeToDays(expected.first().when),
                       dateTimeToDays(expected.last().when));
        const ListGraph::Bounds b = ListGraph::fill(opened, &chart, {});
        const QByteArray where = QStringLiteral("written under %1, read under %2: %3")
                                     .arg(writer, QString::fromLatin1(reader),
                                          opened.cells(1, 1) + " " + opened.cells(2, 1) + " " +
                                              opened.cells(3, 1))
                                     .toUtf8();
        QVERIFY2(b.unreadableValues.count == 0 && b.unreadableTimes.count == 0, where.constData());
        for (int i = 0; i < expected.size(); ++i) {
            const double x = chart.xData(0, i);
            const QByteArray row = where + " row " + QByteArray::number(i + 1) + ": " +
                                   daysToDateTime(x).toString(Qt::ISODate).toUtf8() + " " +
                                   QByteArray::number(chart.yData(0, i));
            QVERIFY2(qAbs(DaysToSeconds(x - dateTimeToDays(expected[i].when))) < 0.001,
                     row.constData());
            QVERIFY2(chart.yData(0, i) == float(expected[i].value), row.constData());
        }
    }
}

QTEST_MAIN(TestLocales)
#include "test_locales.moc"
