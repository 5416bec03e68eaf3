#include "childwindow.h"
#include "rangetable.h"
#include "wiredviews.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

#include <memory>

class TestStatisticsWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        views = std::make_unique<WiredViews>();
        status = new StatisticsWindow;
        views->status = status;
        sub = addChildWindow(&area, status, ChildWindowStyle::Captionless);
    }
    void cleanup() {
        delete sub;
        views.reset();
    }

    void layout_data();
    void layout();
    void unitBoxesFitEveryUnit();
    void statisticText_data();
    void statisticText();
    void showsChangedTrackersInTheUnit();
    void decimalCommaLocale();
    void peakHoldEndEmptiesPeakBoxesOnly();
    void resetEmptiesBoxesAfterResettingStatistics();
    void resetSurvivesWindowClosedMeanwhile();
    void closeButtonClosesWindow();

private:
    QString text(const char* name) const { return status->findChild<QLabel*>(name)->text(); }

    QMdiArea area;
    std::unique_ptr<WiredViews> views;
    StatisticsWindow* status = nullptr;
    QPointer<QMdiSubWindow> sub;
};

void TestStatisticsWindow::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("shift"); // moves right by this many times the unit boxes' growth
    QTest::addColumn<bool>("unitBox");
    QTest::addColumn<QString>("text");
    struct Row {
        const char* name;
        QRect geometry;
        int shift;
        const char* text;
    };
    const Row rows[] = {
        {"lblMAX", {49, 8, 49, 25}, 0, "0.00"},     {"lblMIN", {185, 8, 49, 25}, 1, "0.00"},
        {"lblPMAX", {49, 40, 49, 25}, 0, ""},       {"lblPMIN", {185, 40, 49, 25}, 1, ""},
        {"lblRange1", {99, 8, 36, 25}, 0, "mV"},    {"lblRange2", {235, 8, 36, 25}, 1, "mV"},
        {"lblRange3", {99, 40, 36, 25}, 0, "mV"},   {"lblRange4", {235, 40, 36, 25}, 1, "mV"},
        {"resetButton", {104, 72, 75, 25}, 2, "Reset"}, {"closeButton", {192, 72, 75, 25}, 2, "Close"},
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << r.geometry << r.shift
                              << QByteArray(r.name).startsWith("lblRange")
                              << QString::fromLatin1(r.text);
}

// The window's own layout, with unit boxes of at least 36 pixels; wider ones (a font in which
// "MRPM" needs more) move what lies right of them along and widen the window.
void TestStatisticsWindow::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(int, shift);
    QFETCH(bool, unitBox);
    QFETCH(QString, text);
    const int growth = status->findChild<QLabel*>("lblRange1")->width() - 36;
    QVERIFY(growth >= 0);
    QCOMPARE(status->size(), QSize(285 + 2 * growth, 104));
    QCOMPARE(status->windowTitle(), QStringLiteral("Status"));
    QWidget* widget = status->findChild<QWidget*>(name);
    QVERIFY(widget);
    geometry.translate(shift * growth, 0);
    if (unitBox)
        geometry.setWidth(geometry.width() + growth);
    QCOMPARE(widget->geometry(), geometry);
    if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), text);
    else
        QCOMPARE(qobject_cast<QPushButton*>(widget)->text(), text);
}

// Every unit a reading can carry fits the unit boxes whole, and the boxes stay clear of the
// captions right of them and of the window's edge.
void TestStatisticsWindow::unitBoxesFitEveryUnit() {
    const QStringList units = RangeTable::unitTexts();
    QVERIFY(units.contains(QStringLiteral("MRPM")));
    QVERIFY(units.contains(QStringLiteral("KOhm")));
    for (const QString& unit : units) {
        Reading r;
        r.unitText = unit;
        status->showStatistics(r, Statistics{}, false, false, false, false);
        for (const char* name : {"lblRange1", "lblRange2", "lblRange3", "lblRange4"}) {
            const auto* box = status->findChild<QLabel*>(name);
            QCOMPARE(box->text(), unit);
            QVERIFY2(box->fontMetrics().horizontalAdvance(unit) <= box->contentsRect().width(),
                     qPrintable(unit + u' ' + QLatin1String(name)));
        }
    }
    const auto right = [this](const char* name) {
        return status->findChild<QWidget*>(name)->geometry().right();
    };
    const auto left = [this](const char* name) {
        return status->findChild<QWidget*>(name)->geometry().left();
    };
    QVERIFY(right("lblRange1") < left("Label2"));
    QVERIFY(right("lblRange3") < left("Label4"));
    QVERIFY(right("lblRange2") < status->width() - 2); // inside the raised bevel
    QVERIFY(right("closeButton") < status->width() - 2);
}

void TestStatisticsWindow::statisticText_data() {
    QTest::addColumn<float>("count");
    QTest::addColumn<int>("divisor");
    QTest::addColumn<QString>("text");
    QTest::newRow("1234 / 1000") << 1234.0f << 1000 << "1.234";
    QTest::newRow("0 / 100") << 0.0f << 100 << "0.00";
    QTest::newRow("3999 / 10") << 3999.0f << 10 << "399.9";
    QTest::newRow("-3999 / 1") << -3999.0f << 1 << "-3999";
    QTest::newRow("-1 / 1000") << -1.0f << 1000 << "-0.001";
    QTest::newRow("4000") << 4000.0f << 1000 << "OL";
    QTest::newRow("9999") << 9999.0f << 1 << "OL";
    QTest::newRow("-4000") << -4000.0f << 10 << "-OL";
    QTest::newRow("-9999") << -9999.0f << 1000 << "-OL";
    QTest::newRow("unknown divisor") << 1234.0f << 0 << "1234";
}

void TestStatisticsWindow::statisticText() {
    QFETCH(float, count);
    QFETCH(int, divisor);
    QFETCH(QString, text);
    QCOMPARE(StatisticsWindow::statisticText(count, divisor), text);
}

void TestStatisticsWindow::showsChangedTrackersInTheUnit() {
    views->decode(LiveFrame(1, "1234", ';'));
    QCOMPARE(text("lblMAX"), QStringLiteral("1.234"));
    QCOMPARE(text("lblMIN"), QStringLiteral("1.234"));
    for (const char* unit : {"lblRange1", "lblRange2", "lblRange3", "lblRange4"})
        QCOMPARE(text(unit), QStringLiteral("V"));
    QCOMPARE(text("lblPMAX"), QString());

    // Only the tracker that moved changes its box.
    views->decode(LiveFrame(1, "1500", ';'));
    QCOMPARE(text("lblMAX"), QStringLiteral("1.500"));
    QCOMPARE(text("lblMIN"), QStringLiteral("1.234"));
    views->decode(LiveFrame(1, "0900", ';', 4));
    QCOMPARE(text("lblMAX"), QStringLiteral("1.500"));
    QCOMPARE(text("lblMIN"), QStringLiteral("-0.900"));

    // Overload counts are past the thresholds whatever the divisor.
    views->decode(LiveFrame(4, "9999", ';', 4));
    QCOMPARE(text("lblMIN"), QStringLiteral("-OL"));
}

void TestStatisticsWindow::decimalCommaLocale() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    views->decode(LiveFrame(1, "1234", ';'));
    QCOMPARE(text("lblMAX"), QStringLiteral("1,234"));
    views->decode(LiveFrame(0, "1234", '3', 0, 4)); // 123.4 Ohm, peak hold
    QCOMPARE(text("lblPMAX"), QStringLiteral("123,4"));
    QCOMPARE(text("lblRange3"), QStringLiteral("Ohm"));
}

void TestStatisticsWindow::peakHoldEndEmptiesPeakBoxesOnly() {
    views->decode(LiveFrame(1, "1234", ';', 0, 8));
    views->decode(LiveFrame(1, "1000", ';', 0, 8));
    QCOMPARE(text("lblPMAX"), QStringLiteral("1.234"));
    QCOMPARE(text("lblPMIN"), QStringLiteral("1.000"));
    views->decode(LiveFrame(1, "1100", ';'));
    QCOMPARE(text("lblPMAX"), QString());
    QCOMPARE(text("lblPMIN"), QString());
    QCOMPARE(text("lblMAX"), QStringLiteral("1.234"));
    QCOMPARE(text("lblMIN"), QStringLiteral("1.000"));
}

void TestStatisticsWindow::resetEmptiesBoxesAfterResettingStatistics() {
    views->decode(LiveFrame(1, "1234", ';', 0, 4));
    views->decode(LiveFrame(1, "1000", ';', 0, 4));
    QStringList seenByReset;
    status->onReset = [&] {
        seenByReset << text("lblMAX") << text("lblPMIN");
        views->decoder.resetStatistics();
    };
    status->findChild<QPushButton*>("resetButton")->click();
    QCOMPARE(seenByReset, (QStringList{"1.234", "1.000"}));
    for (const char* box : {"lblMAX", "lblMIN", "lblPMAX", "lblPMIN"})
        QCOMPARE(text(box), QString());

    // The next reading fills all four again, from the reset statistics.
    views->decode(LiveFrame(1, "0500", ';', 0, 4));
    for (const char* box : {"lblMAX", "lblMIN", "lblPMAX", "lblPMIN"})
        QCOMPARE(text(box), QStringLiteral("0.500"));
}

void TestStatisticsWindow::resetSurvivesWindowClosedMeanwhile() {
    // Reset waits for the receive step, during which the window can be closed and deleted.
    status->onReset = [this] { delete sub; };
    status->findChild<QPushButton*>("resetButton")->click();
    QVERIFY(!sub);
    QVERIFY(!views->status);
}

void TestStatisticsWindow::closeButtonClosesWindow() {
    QTest::mouseClick(status->findChild<QPushButton*>("closeButton"), Qt::LeftButton);
    QTRY_VERIFY(!sub);
    QVERIFY(!views->status);
}

QTEST_MAIN(TestStatisticsWindow)
#include "test_statisticswindow.moc"
