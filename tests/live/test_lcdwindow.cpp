#include "support/annunciatortable.h"
#include "wiredviews.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <QTest>

#include <memory>

namespace {

using Tags = QList<int>;
using Digits = QList<int>;

Tags litTags(const LcdWindow& lcd) {
    Tags lit;
    for (int tag = 1; tag <= 37; ++tag)
        if (lcd.annunciatorVisible(tag))
            lit << tag;
    return lit;
}

Digits shownDigits(const LcdWindow& lcd) {
    return {lcd.digitCode(1), lcd.digitCode(2), lcd.digitCode(3), lcd.digitCode(4)};
}

// Counts paint events per watched widget.
class PaintCounter : public QObject {
public:
    QMap<QString, int> paints;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints[watched->objectName()];
        return false;
    }
};

// Shows the panel, lets it paint, then counts the paints of its pictures.
bool showAndWatch(LcdWindow& lcd, PaintCounter& counter) {
    lcd.show();
    if (!QTest::qWaitForWindowExposed(&lcd))
        return false;
    QCoreApplication::processEvents();
    for (QLabel* label : lcd.findChildren<QLabel*>())
        label->installEventFilter(&counter);
    return true;
}

constexpr int B = 10; // blank
constexpr int L = 11; // the letter L

} // namespace

class TestLcdWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        views = std::make_unique<WiredViews>();
        lcd = std::make_unique<LcdWindow>();
        views->lcd = lcd.get();
    }
    void cleanup() {
        lcd.reset();
        views.reset();
    }

    void layout();
    void annunciatorPlaces_data() { addAnnunciatorRows(); }
    void annunciatorPlaces();
    void startsBlank();
    void eachBitLightsItsPicture_data() { addAnnunciatorRows(); }
    void eachBitLightsItsPicture();
    void showsReading_data();
    void showsReading();
    void barWidth_data();
    void barWidth();
    void unchangedReadingRepaintsNothing();
    void changedDigitRepaintsOnlyThatDigit();
    void reopenedPanelPaintsEverything();
    void peakHoldShowsHeldDigitsWithLiveBar();
    void symbolsNeverLit();
    void noConnectionLabel();

private:
    std::unique_ptr<WiredViews> views;
    std::unique_ptr<LcdWindow> lcd;
};

void TestLcdWindow::layout() {
    QCOMPARE(lcd->size(), QSize(280, 179));
    QCOMPARE(lcd->windowTitle(), QStringLiteral("LCD"));
    for (int k = 1; k <= 4; ++k) {
        auto* digit = lcd->findChild<QLabel*>(QStringLiteral("MainD%1").arg(k));
        QVERIFY(digit);
        QCOMPARE(digit->geometry(), QRect(32 + 48 * (k - 1), 53, 45, 75));
    }
    auto* bar = lcd->findChild<QLabel*>(QStringLiteral("LCDBar"));
    QVERIFY(bar);
    QCOMPARE(bar->pos(), QPoint(16, 144));
    QCOMPARE(bar->height(), 24);
    auto* scale = lcd->findChild<QLabel*>(QStringLiteral("Image4"));
    QVERIFY(scale);
    QCOMPARE(scale->geometry(), QRect(13, 131, 254, 10));
    auto* label = lcd->findChild<QLabel*>(QStringLiteral("lblNoConnection"));
    QVERIFY(label);
    QCOMPARE(label->geometry(), QRect(8, 8, 273, 24));
    QCOMPARE(label->text(), QStringLiteral("No Connection"));
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::red));
    QVERIFY(label->font().bold());
    QCOMPARE(label->font().pixelSize(), 20);
}

void TestLcdWindow::annunciatorPlaces() {
    QFETCH(int, tag);
    QFETCH(QString, name);
    QFETCH(QRect, place);
    auto* image = lcd->findChild<QLabel*>(name);
    QVERIFY(image);
    QCOMPARE(image->property("Tag").toInt(), tag);
    QCOMPARE(image->geometry(), place);
    QCOMPARE(image->pixmap().size(), place.size());
    QVERIFY(image->isHidden());
}

void TestLcdWindow::startsBlank() {
    QCOMPARE(shownDigits(*lcd), (Digits{B, B, B, B}));
    QCOMPARE(litTags(*lcd), Tags{});
    QCOMPARE(lcd->barWidth(), 0);
    QVERIFY(lcd->noConnectionVisible());
}

void TestLcdWindow::eachBitLightsItsPicture() {
    QFETCH(int, tag);
    Reading r;
    r.digits = BlankDigits;
    (tag <= 32 ? r.annunciators : r.unitAnnunciators) = std::uint32_t(1) << ((tag - 1) % 32);
    lcd->showReading(r);
    QCOMPARE(litTags(*lcd), Tags{tag});
    r.annunciators = r.unitAnnunciators = 0;
    lcd->showReading(r);
    QCOMPARE(litTags(*lcd), Tags{});
}

void TestLcdWindow::showsReading_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<Digits>("digits");
    QTest::addColumn<Tags>("lit");
    QTest::addColumn<int>("bar");

    // Tags: 1 LBT, 8 RS232, 9 AUTO, 10 MANU, 14 DIODE, 15 AC, 16 DC, 18 SIGN, 19..21 points,
    // 22 bar minus, 23 bar OL, 24 C, 27 u, 29 F, 31 m(V/A), 32 V, 35 k, 37 Hz.
    QTest::newRow("1.234 V") << QByteArray("11234;002\r\n") << Digits{1, 2, 3, 4}
                             << Tags{8, 9, 19, 32} << 78;
    QTest::newRow("overload") << LiveFrame(1, "1234", ';', 1) << Digits{B, 0, L, B}
                              << Tags{8, 9, 19, 23, 32} << 78;
    QTest::newRow("-1.2 mV") << LiveFrame(0, "0012", ';', 4) << Digits{B, B, 1, 2}
                             << Tags{8, 9, 18, 21, 22, 31, 32} << 6;
    QTest::newRow("-OL") << LiveFrame(0, "0000", ';', 1 | 4) << Digits{B, 0, L, B}
                         << Tags{8, 9, 18, 21, 22, 23, 31, 32} << 6;
    QTest::newRow("3.210 kHz AC") << LiveFrame(0, "3210", '2', 0, 0, 4 | 2) << Digits{3, 2, 1, 0}
                                  << Tags{8, 9, 15, 19, 35, 37} << 198;
    QTest::newRow("75 C") << LiveFrame(0, "0075", '4', 8) << Digits{B, B, 7, 5} << Tags{8, 9, 24}
                          << 6;
    QTest::newRow("0.123 uF") << LiveFrame(3, "0123", '6') << Digits{0, 1, 2, 3}
                              << Tags{8, 9, 19, 27, 29} << 12;
    QTest::newRow("diode, manual") << LiveFrame(0, "0512", '1', 0, 0, 0) << Digits{0, 5, 1, 2}
                                   << Tags{8, 10, 14, 19, 32} << 36;
    QTest::newRow("low battery, DC 400 V") << LiveFrame(4, "0400", ';', 2, 0, 8 | 2)
                                           << Digits{B, 4, 0, 0} << Tags{1, 8, 9, 16, 32} << 30;
}

void TestLcdWindow::showsReading() {
    QFETCH(QByteArray, frame);
    QFETCH(Digits, digits);
    QFETCH(Tags, lit);
    QFETCH(int, bar);
    views->decode(frame);
    QCOMPARE(shownDigits(*lcd), digits);
    QCOMPARE(litTags(*lcd), lit);
    QCOMPARE(lcd->barWidth(), bar);
}

void TestLcdWindow::barWidth_data() {
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<int>("width");
    QTest::newRow("0") << QByteArray("0000") << false << 6;
    QTest::newRow("99") << QByteArray("0099") << false << 6;
    QTest::newRow("100") << QByteArray("0100") << false << 12;
    QTest::newRow("-150") << QByteArray("0150") << true << 12;
    QTest::newRow("3999") << QByteArray("3999") << false << 240;
    QTest::newRow("4000") << QByteArray("4000") << false << 246;
    QTest::newRow("-9999") << QByteArray("9999") << true << 246;
}

void TestLcdWindow::barWidth() {
    QFETCH(QByteArray, digits);
    QFETCH(bool, negative);
    QFETCH(int, width);
    views->decode(LiveFrame(4, digits.constData(), ';', negative ? 4 : 0));
    QCOMPARE(lcd->barWidth(), width);
}

void TestLcdWindow::unchangedReadingRepaintsNothing() {
    views->decode(LiveFrame(1, "1234", ';'));
    const int changes = lcd->pictureChanges();
    QCOMPARE(changes, 4 + 4); // four digits; RS232, AUTO, point, V

    PaintCounter counter;
    QVERIFY(showAndWatch(*lcd, counter));

    views->decode(LiveFrame(1, "1234", ';'));
    views->decode(LiveFrame(1, "1234", ';'));
    QCOMPARE(lcd->pictureChanges(), changes);
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, (QMap<QString, int>{}));

    // AUTO to MANU: two pictures.
    views->decode(LiveFrame(1, "1234", ';', 0, 0, 0));
    QCOMPARE(lcd->pictureChanges(), changes + 2);
    QCOMPARE(litTags(*lcd), (Tags{8, 10, 19, 32}));
}

void TestLcdWindow::changedDigitRepaintsOnlyThatDigit() {
    views->decode(LiveFrame(1, "1234", ';'));
    PaintCounter counter;
    QVERIFY(showAndWatch(*lcd, counter));
    const int changes = lcd->pictureChanges();

    views->decode(LiveFrame(1, "1294", ';'));
    QCOMPARE(lcd->pictureChanges(), changes + 1);
    QCOMPARE(shownDigits(*lcd), (Digits{1, 2, 9, 4}));
    QCoreApplication::processEvents();
    QVERIFY(counter.paints.value(QStringLiteral("MainD3")) > 0);
    for (const char* other : {"MainD1", "MainD2", "MainD4", "LCDBar", "imgRS232"})
        QCOMPARE(counter.paints.value(QLatin1String(other)), 0);
}

void TestLcdWindow::reopenedPanelPaintsEverything() {
    views->decode(LiveFrame(1, "1234", ';', 0, 0, 4 | 2));
    // Closed and opened again: a new panel keeps its own record of what it shows, so the
    // same reading paints every digit and symbol.
    lcd = std::make_unique<LcdWindow>();
    views->lcd = lcd.get();
    views->decode(LiveFrame(1, "1234", ';', 0, 0, 4 | 2));
    QCOMPARE(shownDigits(*lcd), (Digits{1, 2, 3, 4}));
    QCOMPARE(litTags(*lcd), (Tags{8, 9, 15, 19, 32}));

    lcd = std::make_unique<LcdWindow>();
    views->lcd = lcd.get();
    views->decode(LiveFrame(1, "1234", ';', 0, 0, 4 | 2));
    QCOMPARE(shownDigits(*lcd), (Digits{1, 2, 3, 4}));
}

void TestLcdWindow::peakHoldShowsHeldDigitsWithLiveBar() {
    constexpr int peak = 4;
    views->decode(LiveFrame(1, "1500", ';', 0, peak));
    const int changes = lcd->pictureChanges();
    views->decode(LiveFrame(1, "0900", ';', 0, peak));
    QCOMPARE(shownDigits(*lcd), (Digits{1, 5, 0, 0}));
    QCOMPARE(lcd->pictureChanges(), changes); // only the bar moved
    QCOMPARE(lcd->barWidth(), 60);
    QVERIFY(lcd->annunciatorVisible(6)); // PMAX

    // A held negative maximum shows its minus signs.
    views->decode(LiveFrame(1, "0200", ';')); // peak hold ends
    views->decode(LiveFrame(1, "0100", ';', 4, peak));
    views->decode(LiveFrame(1, "0300", ';', 4, peak));
    QCOMPARE(shownDigits(*lcd), (Digits{0, 1, 0, 0}));
    QVERIFY(lcd->annunciatorVisible(18));
    QVERIFY(lcd->annunciatorVisible(22));
    QCOMPARE(lcd->barWidth(), 24);

    // Leaving peak hold shows the live reading again.
    views->decode(LiveFrame(1, "0100", ';'));
    QCOMPARE(shownDigits(*lcd), (Digits{0, 1, 0, 0}));
    QVERIFY(!lcd->annunciatorVisible(6));
    QVERIFY(!lcd->annunciatorVisible(18));
}

void TestLcdWindow::symbolsNeverLit() {
    // HOLD, REL, MAX, MIN, PMIN, REC and AUTO-OFF are never lit, and pictures that share a
    // place are never lit together, whatever the meter sends.
    const QList<int> never{2, 3, 4, 5, 7, 12, 17};
    const QList<QPair<int, int>> sharing{{24, 25}, {32, 33}, {13, 14}};
    QSet<int> everLit;
    QByteArray together;
    for (int model : {120, 122})
        for (const char function : QByteArray("0123456789:;<=>?"))
            for (int range = 0; range < 8; ++range)
                for (int c7 = 0; c7 < 16; ++c7)
                    for (int c8 = 0; c8 < 16; ++c8)
                        for (int c9 : {0, 6, 10, 14}) {
                            const QByteArray f = LiveFrame(range, "1234", function, c7, c8, c9);
                            views->decode(f, model);
                            for (int tag : never)
                                if (lcd->annunciatorVisible(tag))
                                    everLit.insert(tag);
                            for (const auto& [a, b] : sharing)
                                if (lcd->annunciatorVisible(a) && lcd->annunciatorVisible(b))
                                    together = f;
                        }
    QCOMPARE(everLit, QSet<int>{});
    QCOMPARE(together, QByteArray());
}

void TestLcdWindow::noConnectionLabel() {
    lcd->setNoConnection(false);
    QVERIFY(!lcd->noConnectionVisible());
    lcd->setNoConnection(true);
    QVERIFY(lcd->noConnectionVisible());
    // It covers the top row of symbols.
    auto* label = lcd->findChild<QLabel*>(QStringLiteral("lblNoConnection"));
    auto* lbt = lcd->findChild<QLabel*>(QStringLiteral("imgLBT"));
    QVERIFY(label->parentWidget()->children().indexOf(label) >
            label->parentWidget()->children().indexOf(lbt));
}

QTEST_MAIN(TestLcdWindow)
#include "test_lcdwindow.moc"
