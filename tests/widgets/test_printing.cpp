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
    void printoutCannotChangeThePrinter();
};

// Printer Setup chooses a PDF file and prints nothing; the next two printouts go to the printer
// as set up, and a cancelled dialog runs no printout.
void TestPrinting::setUpThenPrintOnOnePrinter() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("out.pdf");
    Printing printing;
    QList<QPrinter*> asked;
    bool accept = true;
    printing.setDialogHook([&](QPrinter& printer) {
        asked << &printer;
        if (asked.size() == 1) {
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

    accept = false;
    QVERIFY(!printing.print(nullptr, printout));
    QCOMPARE(printed, 1);
    QCOMPARE(asked.size(), 3);
    for (QPrinter* p : asked)
        QCOMPARE(p, &printing.printer());

    // The hook can be handed back; an empty hook means the system's dialog again.
    const Printing::DialogHook previous = printing.setDialogHook(nullptr);
    QVERIFY(previous);
    QVERIFY(!printing.setDialogHook(previous));
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
