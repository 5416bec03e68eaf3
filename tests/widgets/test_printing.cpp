// The program's printing: every printout asks the one dialog seam and prints on the one
// printer, set up once; a printout cannot leave the printer changed for the next one.

#include "printing.h"

#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

class TestPrinting : public QObject {
    Q_OBJECT
private slots:
    void setUpThenPrintOnOnePrinter();
    void pageSequence_data();
    void pageSequence();
    void printoutCannotChangeThePrinter();
};

// Printer Setup chooses the page and prints nothing; the next printouts go to the printer with
// that page, each asking for its output file anew (the last one is not overwritten unasked),
// and a cancelled dialog runs no printout.
void TestPrinting::setUpThenPrintOnOnePrinter() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("out.pdf");
    Printing printing;
    QList<QPrinter*> asked;
    QStringList fileWhenAsked;
    bool accept = true;
    printing.setDialogHook([&](QPrinter& printer) {
        asked << &printer;
        fileWhenAsked << printer.outputFileName();
        if (asked.size() == 1) {
            printer.setPageOrientation(QPageLayout::Landscape);
        } else {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        }
        return accept;
    });
    QVERIFY(printing.setUp(nullptr));
    QVERIFY(!QFile::exists(pdf));

    int printed = 0;
    const auto printout = [&](QPrinter& printer) {
        QCOMPARE(&printer, &printing.printer());
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
        QPainter painter;
        QVERIFY(painter.begin(&printer));
        painter.drawText(100, 100, QStringLiteral("page"));
        ++printed;
    };
    QVERIFY(printing.print(nullptr, printout));
    QCOMPARE(printed, 1);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(5).startsWith("%PDF-"));
    QVERIFY(printing.print(nullptr, printout));
    QCOMPARE(printed, 2);

    accept = false;
    QVERIFY(!printing.print(nullptr, printout));
    QCOMPARE(printed, 2);
    QCOMPARE(asked.size(), 4);
    for (QPrinter* p : asked)
        QCOMPARE(p, &printing.printer());
    // Every print dialog started without an output file.
    QCOMPARE(fileWhenAsked, QStringList(4, QString()));

    // The hook can be handed back; an empty hook means the system's dialog again.
    const Printing::DialogHook previous = printing.setDialogHook(nullptr);
    QVERIFY(previous);
    QVERIFY(!printing.setDialogHook(previous));
}

// The pages a printout puts on paper: the dialog's range cut to the printout's pages, copies
// collated or page by page.
void TestPrinting::pageSequence_data() {
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<int>("fromPage");
    QTest::addColumn<int>("toPage");
    QTest::addColumn<int>("copies");
    QTest::addColumn<bool>("collate");
    QTest::addColumn<QList<int>>("pages");
    QTest::newRow("all") << 3 << 0 << 0 << 1 << true << QList<int>{0, 1, 2};
    QTest::newRow("range") << 5 << 2 << 3 << 1 << true << QList<int>{1, 2};
    QTest::newRow("range past the end") << 3 << 2 << 9 << 1 << true << QList<int>{1, 2};
    QTest::newRow("range beyond") << 3 << 5 << 9 << 1 << true << QList<int>{};
    QTest::newRow("from only") << 4 << 3 << 0 << 1 << true << QList<int>{2, 3};
    QTest::newRow("two collated") << 2 << 0 << 0 << 2 << true << QList<int>{0, 1, 0, 1};
    QTest::newRow("two uncollated") << 2 << 0 << 0 << 2 << false << QList<int>{0, 0, 1, 1};
    QTest::newRow("no copies is one") << 1 << 0 << 0 << 0 << true << QList<int>{0};
}

void TestPrinting::pageSequence() {
    QFETCH(int, pageCount);
    QFETCH(int, fromPage);
    QFETCH(int, toPage);
    QFETCH(int, copies);
    QFETCH(bool, collate);
    QFETCH(QList<int>, pages);
    QCOMPARE(Printing::pageSequence(pageCount, fromPage, toPage, copies, collate), pages);
}

// A printout sets its own resolution for its page; the next printout starts from the
// printer's own resolution, also after a printout that failed (its error is passed on).
void TestPrinting::printoutCannotChangeThePrinter() {
    Printing printing;
    printing.setDialogHook([](QPrinter&) { return true; });
    const int own = printing.printer().resolution();
    QVERIFY(own != 96);
    QVERIFY(printing.print(nullptr, [](QPrinter& printer) { printer.setResolution(96); }));
    QCOMPARE(printing.printer().resolution(), own);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, printing.print(nullptr, [](QPrinter& printer) {
        printer.setResolution(96);
        throw std::runtime_error("The printer could not be started.");
    }));
    QCOMPARE(printing.printer().resolution(), own);
}

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
