// The data-logger window on its own, offscreen: marker and row selection, the MAX and MIN
// panels, the caption bars, the closing question and a damaged chart template.
#include "settingsstore.h"
#include "dialogs.h"
#include "errorboundary.h"
#include "loggerimagebuilder.h"
#include "loggerparse.h"
#include "chart.h"
#include "stringgrid.h"
#include "dataloggerwindow.h"
#include "rangeprogressdialog.h"
#include "timechartsetup.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A window showing a 500-record voltage set (record i: i counts in range 1, V) and a set
// whose records are all overloaded.
std::unique_ptr<DataLoggerWindow> windowWithSets() {
    QList<quint16> ramp;
    for (int i = 0; i < 500; ++i)
        ramp << quint16(0x1000 | (i * 7 % 3000));
    LoggerImageBuilder b;
    b.addSet(10000, 0xB0, 0x08, ramp);
    b.addSet(10000, 0xB0, 0x08, {0x1FA0, 0x9FA0, 0x1FFF});
    const LoggerImage image(b.blocks());
    const LoggerParse parse = parseLoggerImage(image, 0);
    auto w = std::make_unique<DataLoggerWindow>();
    w->resize(DataLoggerWindow::ClientWidth, DataLoggerWindow::ClientHeight);
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get()) || parse.result != LoggerOutcome::Loaded)
        qFatal("window not shown or image not parsed");
    w->showLoggerData(image, parse.sets);
    return w;
}

QString rowText(StringGrid* g, int r) {
    return g->cells(2, r) + ' ' + g->cells(3, r) + ' ' + g->cells(4, r);
}

QColor barColour(QLabel* bar) {
    return bar->palette().color(QPalette::Window);
}

} // namespace

class TestDataLoggerWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QStandardPaths::setTestModeEnabled(true); // the chart's fit choice goes to settings
        settingsStore().remove(QStringLiteral("Charts"));
    }
    void chartPointsRowsAndPanels();
    void captionBarsFollowClicks();
    void closingQuestion();
    void damagedChartTemplate();
};

void TestDataLoggerWindow::chartPointsRowsAndPanels() {
    auto w = windowWithSets();
    StringGrid* g = w->recordTable;
    QCOMPARE(g->gridRowCount(), 501);
    const int visible = g->visibleRowCount();
    QVERIFY2(visible > 4 && visible < 56, qPrintable(QString::number(visible)));

    // A chart point below the first screenful: its row is selected (columns 1..8) and put in
    // the middle, the marker moves to the point with the row's texts.
    w->onChartHotSpot(56);
    QCOMPARE(g->currentRow(), 57);
    QCOMPARE(g->topRow(), 57 - visible / 2);
    const QModelIndexList selected = g->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 8);
    for (const QModelIndex& i : selected)
        QVERIFY(i.row() == 56 && i.column() >= 1);
    QCOMPARE(w->chart->vertLineAnnotation(0), w->chart->xData(0, 56));
    QCOMPARE(w->chart->vertLineAnnotationText(0), rowText(g, 57));
    QCOMPARE(w->chart->vertLineAnnotationColor(0), PEColor(65280));

    // One in the first screenful: the table goes back to its top.
    w->onChartHotSpot(2);
    QCOMPARE(g->currentRow(), 3);
    QCOMPARE(g->topRow(), 1);
    QCOMPARE(w->chart->vertLineAnnotationText(0), rowText(g, 3));

    // A click in the table moves the marker to the clicked row.
    g->setTopRow(100);
    const QRect cell = g->visualRect(g->gridModel()->index(104, 3));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(g->currentRow(), 105);
    QCOMPARE(w->chart->vertLineAnnotationText(0), rowText(g, 105));
    QCOMPARE(w->highlightedPane(), DataLoggerWindow::Pane::Tabular);

    // MAX and MIN: the ramp peaks at record 429 (2996 counts) and is lowest at record 1.
    QCOMPARE(w->maxRow(), 429);
    QCOMPARE(w->minRow(), 1);
    QTest::mouseClick(w->maxPanel, Qt::LeftButton);
    QCOMPARE(g->currentRow(), 429);
    QCOMPARE(w->chart->vertLineAnnotationText(0), rowText(g, 429));
    QVERIFY(w->maxPanel->text().startsWith(g->cells(2, 429) + '\t'));
    QTest::mouseClick(w->minPanel, Qt::LeftButton);
    QCOMPARE(g->currentRow(), 1);
    QCOMPARE(g->topRow(), 1);

    // The fixed number column stays in place when the table scrolls sideways.
    g->horizontalScrollBar()->setValue(g->horizontalScrollBar()->maximum());
    QVERIFY(g->horizontalScrollBar()->value() > g->colWidths(0));
    QCOMPARE(g->indexAt(QPoint(3, 3)).column(), 0);
    QVERIFY(g->indexAt(QPoint(g->colWidths(0) + 3, 3)).column() > 1);

    // A set with every record overloaded: empty panels whose clicks do nothing.
    w->showDataSet(1);
    QCOMPARE(w->maxRow(), 0);
    QCOMPARE(w->minRow(), 0);
    QVERIFY(w->maxPanel->text().isEmpty() && w->minPanel->text().isEmpty());
    w->onChartHotSpot(1);
    QCOMPARE(g->currentRow(), 2);
    QTest::mouseClick(w->maxPanel, Qt::LeftButton);
    QTest::mouseClick(w->minPanel, Qt::LeftButton);
    QCOMPARE(g->currentRow(), 2);
    QCOMPARE(w->chart->vertLineAnnotationText(0), rowText(g, 2));
    // Points and rows that do not exist do nothing.
    w->onChartHotSpot(7);
    w->selectExtremeRow(3);
    QCOMPARE(g->currentRow(), 2);
}

void TestDataLoggerWindow::captionBarsFollowClicks() {
    auto w = windowWithSets();
    const QColor normal = barColour(w->graphCaption);
    QCOMPARE(barColour(w->dataSetsCaption), QColor(Qt::blue));
    QTest::mouseClick(w->graphCaption, Qt::LeftButton);
    QCOMPARE(barColour(w->graphCaption), QColor(Qt::blue));
    QCOMPARE(w->graphCaption->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(barColour(w->dataSetsCaption), normal);
    QCOMPARE(barColour(w->tableCaption), normal);
    QTest::mouseClick(w->tableCaption, Qt::LeftButton);
    QCOMPARE(w->highlightedPane(), DataLoggerWindow::Pane::Tabular);
    QCOMPARE(barColour(w->graphCaption), normal);
    QTest::mouseClick(w->dataSetsCaption, Qt::LeftButton);
    QCOMPARE(w->highlightedPane(), DataLoggerWindow::Pane::DataSets);
    w->onChartClick();
    QCOMPARE(w->highlightedPane(), DataLoggerWindow::Pane::Graph);
}

void TestDataLoggerWindow::closingQuestion() {
    QStringList asked;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    Dialogs::setAnswerer([&](const Dialogs::Request& r) {
        asked << r.text;
        return answer;
    });
    int saves = 0;
    bool saveSucceeds = false;
    const auto open = [&](bool loaded) {
        auto w = windowWithSets();
        w->setLoggerDataLoaded(loaded);
        w->setSaveAction([&] {
            ++saves;
            return saveSucceeds;
        });
        return w;
    };

    // Nothing loaded yet: no question.
    QVERIFY(open(false)->close());
    QVERIFY(asked.isEmpty());

    auto w = open(true);
    QVERIFY(!w->close()); // Cancel
    QCOMPARE(asked, QStringList{"Save DataLogger Data ?"});
    QVERIFY(w->isVisible());
    QCOMPARE(w->recordTable->gridRowCount(), 501);
    answer = QMessageBox::Yes; // a save that is cancelled keeps the window
    QVERIFY(!w->close());
    QCOMPARE(saves, 1);
    saveSucceeds = true;
    QVERIFY(w->close());
    QCOMPARE(saves, 2);

    answer = QMessageBox::No;
    QVERIFY(open(true)->close());
    QCOMPARE(saves, 2);
    QCOMPARE(asked.size(), 4);
    Dialogs::setAnswerer(nullptr);
}

void TestDataLoggerWindow::damagedChartTemplate() {
    auto w = windowWithSets();
    QTemporaryDir dir;
    QFile bad(dir.filePath("graph.ghf"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray("\xff\x00\x00\x00short", 9));
    bad.close();
    setChartTemplatePath(bad.fileName());
    QStringList reports;
    ErrorBoundary::setReporter([&](const QString& m) { reports << m; });

    // Moving the list's current row shows the set through the boundary, which reports the
    // failure once.
    w->dataSetList->selectRow(2, 0, 4);
    QCOMPARE(w->shownSet(), 1);

    setChartTemplatePath(QString());
    ErrorBoundary::setReporter(nullptr);
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports[0].contains("graph.ghf"));
    QVERIFY(w->recordTable->isVisible());
    QCOMPARE(w->recordTable->gridRowCount(), 4);
    QCOMPARE(w->recordTable->cells(3, 2), QStringLiteral("-OL"));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<RangeProgressDialog*>(top) || !top->isVisible());
}

QTEST_MAIN(TestDataLoggerWindow)
#include "test_dataloggerwindow.moc"
