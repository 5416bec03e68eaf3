#include "support/annunciatortable.h"
#include "lcdart.h"

#include <QGuiApplication>
#include <QSet>
#include <QTest>

namespace {

bool isInk(QRgb pixel) {
    return qAlpha(pixel) > 128 && qGray(pixel) < 100;
}

int inkCount(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += isInk(image.pixel(x, y));
    return n;
}

int inkCount(const QImage& image) {
    return inkCount(image, image.rect());
}

// Which of the seven segments a..g a glyph lights, read at the middle of each segment of a
// digit 29 pixels wide and 67 high whose top leans 6 pixels to the right.
QString litSegments(const QImage& glyph) {
    const QPointF middles[7] = {{20.5, 6.5}, {31.5, 21.5}, {31.5, 51.5}, {20.5, 66.5},
                                {9.5, 51.5}, {9.5, 21.5},  {20.5, 36.5}};
    QString lit;
    for (int s = 0; s < 7; ++s) {
        const QPointF m = middles[s];
        const double x = m.x() + 6.0 * (70 - m.y()) / 67;
        if (isInk(glyph.pixel(int(x), int(m.y()))))
            lit += QChar(u'a' + s);
    }
    return lit;
}

} // namespace

class TestLcdArt : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void glyphs_data();
    void glyphs();
    void glyphsDifferFromEachOther();
    void unknownGlyphNames_data();
    void unknownGlyphNames();
    void annunciatorPictures_data() { addAnnunciatorRows(); }
    void annunciatorPictures();
    void unknownTags();
    void barSegmentsClipToSteps();
    void barScale();
};

void TestLcdArt::glyphs_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("segments");
    // The usual seven-segment shapes; 10 is blank, 11 the L of "OL".
    const char* shapes[12] = {"abcdef", "bc",  "abdeg",   "abcdg",  "bcfg", "acdfg",
                              "acdefg", "abc", "abcdefg", "abcdfg", "",     "def"};
    for (int code = 0; code < 12; ++code)
        QTest::newRow(qPrintable(QStringLiteral("LCDM%1").arg(code)))
            << code << QString::fromLatin1(shapes[code]);
}

void TestLcdArt::glyphs() {
    QFETCH(int, code);
    QFETCH(QString, segments);
    const QImage glyph = lcdBitmap(QStringLiteral("LCDM%1").arg(code));
    QCOMPARE(glyph.size(), QSize(45, 75));
    QCOMPARE(litSegments(glyph), segments);
    // Background is the panel's colour (or transparent): the corners show no ink.
    for (const QPoint corner : {QPoint(0, 0), QPoint(44, 0), QPoint(0, 74), QPoint(44, 74)}) {
        const QRgb p = glyph.pixel(corner);
        QVERIFY(qAlpha(p) == 0 || p == LcdBackgroundRgb);
    }
    // The decimal point of the next position lies at the lower right: keep it clear.
    QCOMPARE(inkCount(glyph, QRect(40, 64, 5, 9)), 0);
    if (segments.isEmpty())
        QCOMPARE(inkCount(glyph), 0);
}

void TestLcdArt::glyphsDifferFromEachOther() {
    auto ink = [](int code) { return inkCount(lcdBitmap(QStringLiteral("LCDM%1").arg(code))); };
    QVERIFY(ink(8) > ink(1));
    QVERIFY(ink(8) > ink(0));
    QVERIFY(ink(1) > 0);
    QSet<QByteArray> distinct;
    for (int code = 0; code < 12; ++code) {
        const QImage g = lcdBitmap(QStringLiteral("LCDM%1").arg(code));
        distinct.insert(QByteArray(reinterpret_cast<const char*>(g.constBits()), g.sizeInBytes()));
    }
    QCOMPARE(distinct.size(), 12);
}

void TestLcdArt::unknownGlyphNames_data() {
    QTest::addColumn<QString>("name");
    for (const char* name : {"LCDM12", "LCDM-1", "LCDM", "LCDM01", "lcdm1", "LCDM 1", "X1", ""})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestLcdArt::unknownGlyphNames() {
    QFETCH(QString, name);
    QVERIFY(lcdBitmap(name).isNull());
}

void TestLcdArt::annunciatorPictures() {
    QFETCH(int, tag);
    QFETCH(QRect, place);
    const QImage picture = annunciatorPicture(tag);
    QCOMPARE(picture.size(), place.size());
    QVERIFY(picture.hasAlphaChannel());
    // Dark on transparent: some ink, and the background lets the panel through.
    const int ink = inkCount(picture);
    QVERIFY2(ink >= 6, qPrintable(QStringLiteral("ink %1").arg(ink)));
    QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);
    QVERIFY(ink < picture.width() * picture.height() * 3 / 4);
}

void TestLcdArt::unknownTags() {
    QVERIFY(annunciatorPicture(0).isNull());
    QVERIFY(annunciatorPicture(38).isNull());
    QVERIFY(annunciatorPicture(-1).isNull());
}

void TestLcdArt::barSegmentsClipToSteps() {
    const QImage bar = barSegments();
    QCOMPARE(bar.size(), QSize(246, 24));
    // A bar clipped to 6 k pixels shows exactly k whole segments.
    const int middle = bar.height() / 2;
    for (int k = 1; k <= 41; ++k) {
        int runs = 0;
        bool inRun = false;
        for (int x = 0; x < 6 * k; ++x) {
            const bool ink = isInk(bar.pixel(x, middle));
            runs += ink && !inRun;
            inRun = ink;
        }
        QCOMPARE(runs, k);
        QVERIFY(!isInk(bar.pixel(6 * k - 1, middle))); // a gap ends each step
    }
}

void TestLcdArt::barScale() {
    const QImage scale = ::barScale();
    QCOMPARE(scale.size(), QSize(254, 10));
    // Labels over segments 0, 10, 20, 30 and 40 (centred 6 pixels apart, from x = 6).
    for (int label = 0; label <= 40; label += 10) {
        const int x = 6 * label + 6;
        QVERIFY2(inkCount(scale, QRect(x - 5, 0, 11, 7)) > 3, qPrintable(QString::number(label)));
    }
    QCOMPARE(inkCount(scale, QRect(36, 0, 12, 6)), 0); // nothing between the labels
}

QTEST_MAIN(TestLcdArt)
#include "test_lcdart.moc"
