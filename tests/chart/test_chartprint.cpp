// A chart printed as a page into a PDF, read back with pdftoppm.

#include "charterror.h"
#include "chartimage.h"
#include "daycount.h"
#include "chart.h"
#include "timechartsetup.h"

#include <qcustomplot.h>

#include <QPrinter>
#include <QtTest>

namespace {

constexpr double kStart = 46357.0 + 10.0 / 24;

// The box around everything that is not white paper.
QRect inkBox(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (!nearColour(img.pixel(x, y), Qt::white, 8))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class TestChartPrint : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void printsScreenColours();
    void printsColoursAsWritten();
    void unwritableOutputRaises();

private:
    // Prints the chart's page into a PDF and returns page 1 at 50 dpi.
    QImage printPage(const QString& name);

    Chart* g = nullptr;
    QTemporaryDir dir;
};

void TestChartPrint::initTestCase() {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        QFAIL("pdftoppm (poppler-utils) is needed to read the printed PDF back");
}

void TestChartPrint::init() {
    g = new Chart;
    g->resize(800, 400);
    g->show();
    QVERIFY(QTest::qWaitForWindowExposed(g));
    setupTimeChart(g, 100, kStart, kStart + SecondsToDays(200), dir.filePath("none.ghf"));
    for (int p = 0; p < 100; ++p) {
        g->setXData(0, p, kStart + SecondsToDays(2.0 * p));
        g->setYData(0, p, p % 2 ? 400.0f : 600.0f); // stays in the lower part of the plot
    }
    g->redraw();
    g->plot()->replot();
}

void TestChartPrint::cleanup() {
    delete g;
    g = nullptr;
}

QImage TestChartPrint::printPage(const QString& name) {
    const QString pdf = dir.filePath(name + ".pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        g->printPage(printer);
    }
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 1000 || !file.read(5).startsWith("%PDF-"))
        return QImage();
    const QString png = dir.filePath(name);
    if (QProcess::execute("pdftoppm", {"-png", "-r", "50", "-singlefile", pdf, png}) != 0)
        return QImage();
    return QImage(png + ".png");
}

void TestChartPrint::printsScreenColours() {
    const QImage page = printPage("screen");
    QVERIFY(!page.isNull());
    const QRect chart = inkBox(page);
    // The whole printable area: the page's width and height within its margins.
    QVERIFY(chart.width() > page.width() * 3 / 4);
    QVERIFY2(chart.height() > page.height() * 3 / 4,
             qPrintable(QString("%1 of %2").arg(chart.height()).arg(page.height())));
    // The plot area (black on screen) takes the middle of the chart on paper, the desk's grey
    // its margins.
    const auto onPaper = [&](double fx, double fy) {
        return QPoint(chart.left() + int(fx * chart.width()),
                      chart.top() + int(fy * chart.height()));
    };
    int black = 0, samples = 0;
    for (double fy = 0.3; fy <= 0.5; fy += 0.05)
        for (double fx = 0.3; fx <= 0.7; fx += 0.05) {
            black += nearColour(page.pixel(onPaper(fx, fy)), Qt::black, 40) ? 1 : 0;
            ++samples;
        }
    QVERIFY2(black >= samples * 8 / 10, // a dotted grid line may cross a sample
             qPrintable(QString("%1 of %2").arg(black).arg(samples)));
    QVERIFY(nearColour(page.pixel(onPaper(0.005, 0.5)), QColor(192, 192, 192), 24));
    QVERIFY(nearColour(page.pixel(onPaper(0.5, 0.01)), QColor(192, 192, 192), 24));
    int yellow = 0;
    for (int y = chart.top(); y <= chart.bottom(); ++y)
        for (int x = chart.left(); x <= chart.right(); ++x) {
            const QColor c = page.pixel(x, y);
            yellow += c.red() > 150 && c.green() > 150 && c.blue() < 100 ? 1 : 0;
        }
    QVERIFY2(yellow > 50, qPrintable(QString::number(yellow)));
}

// Colours written without a redraw are printed, and the screen keeps its own: the printout
// in paper colours writes the colours, prints and writes them back.
void TestChartPrint::printsColoursAsWritten() {
    g->setGraphBackColor(0xFFFFFF);
    g->setDeskColor(0xFFFFFF);
    g->setSubsetColors(0, 0x000000);
    const QImage page = printPage("paper");
    QVERIFY(!page.isNull());
    const QRect chart = inkBox(page);
    QVERIFY(!chart.isEmpty()); // axes, labels and the line
    int dark = 0, all = 0;
    for (int y = chart.top(); y <= chart.bottom(); ++y)
        for (int x = chart.left(); x <= chart.right(); ++x, ++all)
            dark += qGray(page.pixel(x, y)) < 100 ? 1 : 0;
    QVERIFY2(dark < all / 10, qPrintable(QString("%1 of %2").arg(dark).arg(all)));
    QCOMPARE(g->plot()->axisRect()->backgroundBrush().color(), QColor(0, 0, 0));
    QCOMPARE(g->plot()->graph(0)->pen().color(), QColor(255, 255, 0));
}

void TestChartPrint::unwritableOutputRaises() {
    const QString pdf = dir.filePath("no/such/folder/out.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
    try {
        g->printPage(printer);
        QFAIL("no error raised");
    } catch (const ChartError& e) {
        QVERIFY2(e.message().contains(pdf), qPrintable(e.message()));
    }
    // The screen look is untouched.
    QCOMPARE(g->plot()->axisRect()->backgroundBrush().color(), QColor(0, 0, 0));
}

QTEST_MAIN(TestChartPrint)
#include "test_chartprint.moc"
