// The string grid: its cell store (texts, rows, columns, memory) and the view over it.

#include "stringgrid.h"
#include "stringgridmodel.h"
#include "support/sanitizedbuild.h"

#include <QFile>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include <memory>

namespace {

qint64 residentBytes() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// A row as the recorder writes it.
QStringList recorderRow(int n) {
    const QTime t = QTime(0, 0).addSecs(n * 2 % 86400);
    return {QString::number(n), QStringLiteral("3/7/2025"),
            t.toString(QStringLiteral("h:mm:ss AP")),
            QString::number(100 + (n % 3000) / 10.0, 'f', 1), QStringLiteral("mV")};
}

} // namespace

class TestStringGrid : public QObject {
    Q_OBJECT
private slots:
    void cells();
    void writesOutsideAreIgnored();
    void rowsAppendAndShrink();
    void columnsCutLoseTheirTexts();
    void rewritingOldRowsKeepsEveryText();
    void fixedRowIsTheHeader();
    void fixedColumnsAreNotSelectable();
    void memoryPerRow();
    void viewTopRowAndVisibleRows();
    void viewShowsTheTexts();
    void unitsShownAsTheMeterWritesThem_data();
    void unitsShownAsTheMeterWritesThem();
    void viewFindsCellsByPosition();
    void viewSelectsRows();
    void viewScrollsToTheCurrentRow();
    void viewForgetsRowsCutOff_data();
    void viewForgetsRowsCutOff();
};

void TestStringGrid::cells() {
    StringGridModel m;
    m.setColCount(4);
    m.setRowCount(3);
    QCOMPARE(m.cells(2, 1), QString());
    m.setCells(2, 1, QStringLiteral("hello"));
    m.setCells(0, 1, QStringLiteral("1"));
    m.setCells(3, 2, QStringLiteral("µV °C Ω ✓"));
    QCOMPARE(m.cells(2, 1), QStringLiteral("hello"));
    QCOMPARE(m.cells(0, 1), QStringLiteral("1"));
    QCOMPARE(m.cells(1, 1), QString());
    QCOMPARE(m.cells(3, 2), QStringLiteral("µV °C Ω ✓"));
    m.setCells(2, 1, QString());
    QCOMPARE(m.cells(2, 1), QString());
    QCOMPARE(m.cells(0, 1), QStringLiteral("1"));
    m.setRow(1, {QStringLiteral("a"), QString(), QStringLiteral("c")});
    QCOMPARE(m.cells(0, 1), QStringLiteral("a"));
    QCOMPARE(m.cells(1, 1), QString());
    QCOMPARE(m.cells(2, 1), QStringLiteral("c"));
    QCOMPARE(m.cells(3, 1), QString());
    m.clearRow(2);
    QCOMPARE(m.cells(3, 2), QString());
    // A long text.
    const QString longText(100000, u'x');
    m.setCells(1, 0, longText);
    QCOMPARE(m.cells(1, 0), longText);
}

void TestStringGrid::writesOutsideAreIgnored() {
    StringGridModel m;
    m.setColCount(2);
    m.setRowCount(2);
    m.setCells(2, 0, QStringLiteral("x"));
    m.setCells(0, 2, QStringLiteral("x"));
    m.setCells(-1, 0, QStringLiteral("x"));
    m.setRow(5, {QStringLiteral("x")});
    m.setRow(0, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("beyond")});
    QCOMPARE(m.cells(0, 0), QStringLiteral("a"));
    QCOMPARE(m.cells(1, 0), QStringLiteral("b"));
    QCOMPARE(m.cells(2, 0), QString());
    QCOMPARE(m.cells(0, 2), QString());
    m.setColCount(3);
    QCOMPARE(m.cells(2, 0), QString());
}

void TestStringGrid::rowsAppendAndShrink() {
    StringGridModel m;
    m.setColCount(6);
    m.setFixedRows(1);
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    m.setRowCount(1);
    for (int n = 1; n <= 1000; ++n) {
        m.setRowCount(n + 1);
        m.setRow(n, recorderRow(n));
    }
    QCOMPARE(m.gridRowCount(), 1001);
    QCOMPARE(m.rowCount(), 1000);
    QCOMPARE(inserted.size(), 1000);
    for (int n : {1, 2, 500, 999, 1000})
        QCOMPARE(m.cells(3, n), recorderRow(n)[3]);

    // Cut to 2 rows: the texts of the others are gone, also when the rows come back.
    QSignalSpy removed(&m, &QAbstractItemModel::rowsAboutToBeRemoved);
    m.setRowCount(2);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 1);
    QCOMPARE(removed.first().at(2).toInt(), 999);
    QCOMPARE(m.cells(0, 1), QStringLiteral("1"));
    QVERIFY(m.memoryBytes() < 300 * 1024);
    m.setRowCount(10);
    for (int r = 2; r < 10; ++r)
        for (int c = 0; c < 6; ++c)
            QCOMPARE(m.cells(c, r), QString());
}

void TestStringGrid::columnsCutLoseTheirTexts() {
    StringGridModel m;
    m.setColCount(5);
    m.setRowCount(3);
    for (int r = 0; r < 3; ++r)
        m.setRow(r, {"a", "b", "c", "d", "e"});
    m.setColCount(2);
    QCOMPARE(m.cells(1, 2), QStringLiteral("b"));
    QCOMPARE(m.cells(2, 2), QString());
    m.setColCount(5);
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(m.cells(0, r), QStringLiteral("a"));
        QCOMPARE(m.cells(4, r), QString());
    }
}

void TestStringGrid::rewritingOldRowsKeepsEveryText() {
    // Old rows rewritten many times leave garbage behind, which gets compacted away.
    StringGridModel m;
    m.setColCount(3);
    m.setRowCount(2000);
    for (int r = 0; r < 2000; ++r)
        m.setRow(r, {QString::number(r), QStringLiteral("first"), QString(40, u'-')});
    const qint64 before = m.memoryBytes();
    for (int pass = 0; pass < 30; ++pass)
        for (int r = 0; r < 2000; r += 2)
            m.setCells(1, r, QStringLiteral("pass %1 of row %2").arg(pass).arg(r));
    for (int r = 0; r < 2000; ++r) {
        QCOMPARE(m.cells(0, r), QString::number(r));
        QCOMPARE(m.cells(1, r),
                 r % 2 ? QStringLiteral("first") : QStringLiteral("pass 29 of row %1").arg(r));
        QCOMPARE(m.cells(2, r), QString(40, u'-'));
    }
    QVERIFY2(m.memoryBytes() < 4 * before + (2 << 20),
             qPrintable(QString::number(m.memoryBytes())));
}

void TestStringGrid::fixedRowIsTheHeader() {
    StringGridModel m;
    m.setColCount(3);
    m.setRowCount(3);
    m.setFixedRows(1);
    QSignalSpy header(&m, &QAbstractItemModel::headerDataChanged);
    QSignalSpy data(&m, &QAbstractItemModel::dataChanged);
    m.setCells(1, 0, QStringLiteral("Date"));
    m.setCells(1, 1, QStringLiteral("3/7/2025"));
    QCOMPARE(header.size(), 1);
    QCOMPARE(data.size(), 1);
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(m.columnCount(), 3);
    QCOMPARE(m.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Date"));
    QCOMPARE(m.data(m.index(0, 1)).toString(), QStringLiteral("3/7/2025"));
    QCOMPARE(data.first().at(0).value<QModelIndex>(), m.index(0, 1));

    m.setFixedRows(0);
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(m.data(m.index(0, 1)).toString(), QStringLiteral("Date"));
}

void TestStringGrid::fixedColumnsAreNotSelectable() {
    StringGridModel m;
    m.setColCount(3);
    m.setRowCount(2);
    m.setFixedCols(1);
    QVERIFY(!(m.flags(m.index(0, 0)) & Qt::ItemIsSelectable));
    QVERIFY(m.flags(m.index(0, 1)) & Qt::ItemIsSelectable);
    QVERIFY(!(m.flags(m.index(0, 1)) & Qt::ItemIsEditable));
}

void TestStringGrid::memoryPerRow() {
    // 10^5 rows of recorder texts: the store's own count and the process's growth.
    constexpr int kRows = 100000;
    std::vector<QStringList> rows;
    rows.reserve(1000);
    for (int n = 0; n < 1000; ++n)
        rows.push_back(recorderRow(n + 1));
    const qint64 rssBefore = residentBytes();
    auto* m = new StringGridModel;
    m->setColCount(6);
    m->setFixedRows(1);
    m->setRowCount(1);
    for (int n = 1; n <= kRows; ++n) {
        m->setRowCount(n + 1);
        m->setRow(n, rows[std::size_t(n % 1000)]);
    }
    const qint64 rssAfter = residentBytes();
    const double stored = double(m->memoryBytes()) / kRows;
    const double resident = double(rssAfter - rssBefore) / kRows;
    qInfo("string grid: %.1f bytes per row stored, %.1f bytes per row resident", stored, resident);
    QVERIFY2(stored < 100, qPrintable(QString::number(stored)));
    if (!SanitizedBuild) // guard zones around every allocation
        QVERIFY2(resident < 100, qPrintable(QString::number(resident)));
    QCOMPARE(m->cells(2, kRows), rows[std::size_t(kRows % 1000)][2]);
    delete m;
}

void TestStringGrid::viewTopRowAndVisibleRows() {
    StringGrid g;
    g.setColCount(3);
    g.setRowCount(101);
    g.setFixedRows(1);
    g.setDefaultRowHeight(20);
    for (int r = 1; r <= 100; ++r)
        g.setCells(0, r, QString::number(r));
    g.resize(300, 20 /* header */ + 10 * 20 + 2 * g.frameWidth() +
                      g.horizontalScrollBar()->sizeHint().height());
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    QCOMPARE(g.visibleRowCount(), g.viewport()->height() / 20);
    QVERIFY(g.visibleRowCount() >= 9);
    QCOMPARE(g.topRow(), 1);
    g.setTopRow(40);
    QCOMPARE(g.topRow(), 40);
    QCOMPARE(g.indexAt(QPoint(5, 5)).row() + g.fixedRows(), 40);
    // Rows added just now can be scrolled to at once.
    g.setRowCount(201);
    g.setTopRow(201 - g.visibleRowCount());
    QCOMPARE(g.topRow(), 201 - g.visibleRowCount());

    g.setColWidths(1, 123);
    QCOMPARE(g.colWidths(1), 123);
    QCOMPARE(g.colWidths(2), g.defaultColWidth());
}

void TestStringGrid::viewShowsTheTexts() {
    StringGrid g;
    g.setColCount(2);
    g.setRowCount(3);
    g.setFixedRows(1);
    g.setFixedCols(1);
    g.setCells(1, 0, QStringLiteral("Caption"));
    g.setCells(0, 1, QStringLiteral("1"));
    g.setCells(1, 1, QStringLiteral("first"));
    QVERIFY(g.horizontalHeader()->isVisibleTo(&g));
    QCOMPARE(g.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Caption"));
    QCOMPARE(g.model()->data(g.model()->index(0, 1)).toString(), QStringLiteral("first"));
    g.setFixedRows(0);
    QVERIFY(!g.horizontalHeader()->isVisibleTo(&g));
}

namespace {

// A shown grid of `rows` data rows under a caption row, 3 columns, rows 20 px high.
std::unique_ptr<StringGrid> shownGrid(int rows) {
    auto g = std::make_unique<StringGrid>();
    g->setColCount(3);
    g->setRowCount(rows + 1);
    g->setFixedRows(1);
    g->setFixedCols(1);
    g->setDefaultRowHeight(20);
    for (int r = 1; r <= rows; ++r)
        g->setRow(r,
                  {QString::number(r), QStringLiteral("a%1").arg(r), QStringLiteral("b%1").arg(r)});
    g->resize(300, 20 + 10 * 20 + 2 * g->frameWidth());
    g->show();
    return g;
}

} // namespace

void TestStringGrid::viewFindsCellsByPosition() {
    auto g = shownGrid(100);
    QVERIFY(QTest::qWaitForWindowExposed(g.get()));
    g->setTopRow(31);
    for (int row : {30, 31, 35})
        for (int col = 0; col < 3; ++col) {
            const QModelIndex i = g->model()->index(row, col);
            const QRect r = g->visualRect(i);
            QVERIFY(!r.isEmpty());
            QCOMPARE(g->indexAt(r.center()), i);
        }
    QCOMPARE(g->visualRect(g->model()->index(30, 0)).top(), 0);
    QCOMPARE(g->visualRect(g->model()->index(31, 1)).top(), 20);
    QCOMPARE(g->visualRect(g->model()->index(30, 1)).left(), g->colWidths(0));
    // Below the last row there is no cell.
    auto small = shownGrid(3);
    QVERIFY(QTest::qWaitForWindowExposed(small.get()));
    QVERIFY(!small->indexAt(QPoint(5, 3 * 20 + 5)).isValid());
    QCOMPARE(small->indexAt(QPoint(5, 2 * 20 + 5)).row(), 2);
}

void TestStringGrid::viewSelectsRows() {
    auto g = shownGrid(100);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    QVERIFY(QTest::qWaitForWindowExposed(g.get()));
    QWidget* vp = g->viewport();
    const auto at = [&](int row) { return g->visualRect(g->model()->index(row, 1)).center(); };
    QTest::mouseClick(vp, Qt::LeftButton, {}, at(2));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, at(5));
    QModelIndexList rows = g->selectionModel()->selectedRows(1);
    std::sort(rows.begin(), rows.end());
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.first().row(), 2);
    QCOMPARE(rows.last().row(), 5);
    // Keyboard: down moves the current row and the selection with it.
    QTest::keyClick(g.get(), Qt::Key_Down);
    QCOMPARE(g->currentIndex().row(), 6);
    QCOMPARE(g->selectionModel()->selectedRows(1).size(), 1);
}

void TestStringGrid::viewScrollsToTheCurrentRow() {
    auto g = shownGrid(100);
    QVERIFY(QTest::qWaitForWindowExposed(g.get()));
    g->setCurrentIndex(g->model()->index(0, 1));
    QTest::keyClick(g.get(), Qt::Key_End);
    QCOMPARE(g->currentIndex().row(), 99);
    QVERIFY(g->viewport()->rect().contains(g->visualRect(g->currentIndex())));
    QCOMPARE(g->topRow(), 101 - g->visibleRowCount());
    QTest::keyClick(g.get(), Qt::Key_Home);
    QCOMPARE(g->topRow(), 1);
    g->scrollTo(g->model()->index(50, 1), QAbstractItemView::PositionAtTop);
    QCOMPARE(g->topRow(), 51);
}

namespace {

// The viewport as it is on screen: the window's painted pixels, stale ones included (a
// QWidget::grab paints afresh and would not show what was left behind).
QImage onScreen(StringGrid& g) {
    const QRect area(g.viewport()->mapTo(&g, QPoint(0, 0)), g.viewport()->size());
    return g.screen()->grabWindow(g.winId()).toImage().copy(area);
}

} // namespace

void TestStringGrid::viewForgetsRowsCutOff_data() {
    QTest::addColumn<int>("rows");
    QTest::newRow("scrolled to the end") << 100;
    QTest::newRow("all rows in view") << 8;
}

// Clear and a function change cut the recorder's grid back to its first rows. The view must
// forget the rows cut off: on screen it shows the rows left at the top with their grid lines
// and nothing of the old ones below, exactly as a grid that never had more, and its scroll
// range ends with the rows left.
void TestStringGrid::viewForgetsRowsCutOff() {
    QFETCH(int, rows);
    // What a grid that only ever had the rows left looks like. Taken first and closed: showing
    // another window would repaint the grid under test and hide what it left on screen.
    QImage expectedOnScreen, expectedGrab;
    {
        auto fresh = shownGrid(3);
        QVERIFY(QTest::qWaitForWindowActive(fresh.get()));
        QTest::qWait(20);
        expectedOnScreen = onScreen(*fresh);
        expectedGrab = fresh->viewport()->grab().toImage();
    }

    auto g = shownGrid(rows);
    QVERIFY(QTest::qWaitForWindowActive(g.get()));
    g->setTopRow(rows);
    QTest::qWait(20);
    QCOMPARE(g->verticalScrollBar()->maximum(), std::max(rows - 10, 0));
    QVERIFY(onScreen(*g) != expectedOnScreen);

    g->setRowCount(4);
    QCOMPARE(g->verticalScrollBar()->maximum(), 0);
    QCOMPARE(g->topRow(), 1);
    QTRY_COMPARE(g->viewport()->grab().toImage(), expectedGrab);
    QTRY_COMPARE(onScreen(*g), expectedOnScreen);
}

// A unit text in a cell is shown as the meter's display writes it; the cell (what files are
// written from) keeps its own text, and other texts are shown as they are.
void TestStringGrid::unitsShownAsTheMeterWritesThem_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("shown");
    QTest::newRow("kilo-ohms") << "KOhm" << QString::fromUtf8("kΩ");
    QTest::newRow("mega-ohms") << "MOhm" << QString::fromUtf8("MΩ");
    QTest::newRow("ohms") << "Ohm" << QString::fromUtf8("Ω");
    QTest::newRow("kilohertz") << "KHz" << "kHz";
    QTest::newRow("microamps") << "uA" << QString::fromUtf8("µA");
    QTest::newRow("celsius") << "C" << QString::fromUtf8("°C");
    QTest::newRow("fahrenheit") << "F" << QString::fromUtf8("°F");
    QTest::newRow("volts as they are") << "V" << "V";
    QTest::newRow("a value") << "1.500" << "1.500";
    QTest::newRow("a longer text") << "KOhms" << "KOhms";
}

void TestStringGrid::unitsShownAsTheMeterWritesThem() {
    QFETCH(QString, cell);
    QFETCH(QString, shown);
    StringGridModel model;
    model.setColCount(5);
    model.setRowCount(2);
    model.setFixedRows(1);
    model.setCells(4, 1, cell);
    const QModelIndex index = model.index(0, 4);
    QCOMPARE(model.data(index, Qt::DisplayRole).toString(), shown);
    QCOMPARE(model.data(index, Qt::EditRole).toString(), cell);
    QCOMPARE(model.cells(4, 1), cell);
}

QTEST_MAIN(TestStringGrid)
#include "test_stringgrid.moc"
