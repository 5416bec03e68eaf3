#include "lcdart.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Colour of a lit segment or symbol.
const QColor kInk(28, 28, 32);

// Segment bits of each glyph code: a (top), b (top right), c (bottom right), d (bottom),
// e (bottom left), f (top left), g (middle).
constexpr std::uint8_t kSegA = 1, kSegB = 2, kSegC = 4, kSegD = 8, kSegE = 16, kSegF = 32,
                       kSegG = 64;
constexpr std::array<std::uint8_t, DigitGlyphCount> kGlyphSegments{
    kSegA | kSegB | kSegC | kSegD | kSegE | kSegF,         // 0
    kSegB | kSegC,                                         // 1
    kSegA | kSegB | kSegD | kSegE | kSegG,                 // 2
    kSegA | kSegB | kSegC | kSegD | kSegG,                 // 3
    kSegB | kSegC | kSegF | kSegG,                         // 4
    kSegA | kSegC | kSegD | kSegF | kSegG,                 // 5
    kSegA | kSegC | kSegD | kSegE | kSegF | kSegG,         // 6
    kSegA | kSegB | kSegC,                                 // 7
    kSegA | kSegB | kSegC | kSegD | kSegE | kSegF | kSegG, // 8
    kSegA | kSegB | kSegC | kSegD | kSegF | kSegG,         // 9
    0,                                                     // blank
    kSegD | kSegE | kSegF,                                 // L
};

// A horizontal segment along y from x0 to x1 (centre line ends), with pointed ends.
QPolygonF horizontalSegment(double x0, double x1, double y, double thickness, double gap) {
    const double h = thickness / 2;
    return QPolygonF({{x0 + gap, y},
                      {x0 + gap + h, y - h},
                      {x1 - gap - h, y - h},
                      {x1 - gap, y},
                      {x1 - gap - h, y + h},
                      {x0 + gap + h, y + h}});
}

// A vertical segment along x from y0 to y1 (centre line ends), with pointed ends.
QPolygonF verticalSegment(double x, double y0, double y1, double thickness, double gap) {
    const double h = thickness / 2;
    return QPolygonF({{x, y0 + gap},
                      {x + h, y0 + gap + h},
                      {x + h, y1 - gap - h},
                      {x, y1 - gap},
                      {x - h, y1 - gap - h},
                      {x - h, y0 + gap + h}});
}

QImage drawGlyph(int code) {
    QImage image(DigitGlyphWidth, DigitGlyphHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor::fromRgb(LcdBackgroundRgb));
    const std::uint8_t segments = kGlyphSegments[std::size_t(code)];
    if (segments == 0)
        return image;

    // The digit box before slanting, and the segment stroke.
    constexpr double left = 6, right = 35, top = 3, bottom = 70;
    constexpr double thickness = 7, gap = 1;
    constexpr double slant = 6.0 / (bottom - top); // the top leans 6 pixels to the right
    const double h = thickness / 2;
    const double xl = left + h, xr = right - h;
    const double yt = top + h, ym = (top + bottom) / 2, yb = bottom - h;

    const std::array<QPolygonF, 7> shapes{
        horizontalSegment(xl, xr, yt, thickness, gap), // a
        verticalSegment(xr, yt, ym, thickness, gap),   // b
        verticalSegment(xr, ym, yb, thickness, gap),   // c
        horizontalSegment(xl, xr, yb, thickness, gap), // d
        verticalSegment(xl, ym, yb, thickness, gap),   // e
        verticalSegment(xl, yt, ym, thickness, gap),   // f
        horizontalSegment(xl, xr, ym, thickness, gap), // g
    };

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    // x' = x + slant * (bottom - y)
    p.setTransform(QTransform(1, 0, -slant, 1, slant * bottom, 0));
    for (std::size_t s = 0; s < shapes.size(); ++s)
        if (segments & (1u << s))
            p.drawPolygon(shapes[s]);
    return image;
}

QImage transparentImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QFont symbolFont(double pixelSize) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(std::max(1, int(pixelSize)));
    return font;
}

// Draws the text as large as it fits into the box (its inked shape, not its line height),
// centred in the box, in bold sans.
void drawFittedText(QPainter& p, const QString& text, const QRectF& box) {
    QFont font = symbolFont(box.height() * 2);
    QRectF ink = QFontMetricsF(font).tightBoundingRect(text);
    for (int size = font.pixelSize(); size > 1; --size) {
        font.setPixelSize(size);
        ink = QFontMetricsF(font).tightBoundingRect(text);
        if (ink.width() <= box.width() && ink.height() <= box.height())
            break;
    }
    p.setFont(font);
    p.setPen(kInk);
    const QPointF origin(box.center().x() - ink.center().x(), box.center().y() - ink.center().y());
    p.drawText(QPointF(std::round(origin.x()), std::round(origin.y())), text);
}

// Fills the box with the text's outline in bold sans, centred: as tall as the box allows,
// narrowed (down to minWidthRatio of its own width) rather than made smaller, the way LCD
// lettering is drawn for the space it has.
void fillFittedText(QPainter& p, const QString& text, const QRectF& box,
                    double minWidthRatio = 0.7) {
    QPainterPath path;
    path.addText(0, 0, symbolFont(100), text);
    const QRectF ink = path.boundingRect();
    const double fitX = box.width() / ink.width(), fitY = box.height() / ink.height();
    const double scaleY = std::min(fitY, fitX / minWidthRatio);
    const double scaleX = std::min(fitX, scaleY);
    QTransform t;
    t.translate(box.center().x(), box.center().y());
    t.scale(scaleX, scaleY);
    t.translate(-ink.center().x(), -ink.center().y());
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(t.map(path), kInk);
}

// Lettering of at most the given height, centred in the picture.
QImage textPicture(const AnnunciatorPlace& place, const QString& text, int maxHeight) {
    QImage image = transparentImage(place.width, place.height);
    QPainter p(&image);
    const int h = std::min(maxHeight, place.height - 2);
    // Whole pixels top and bottom keep the horizontal strokes sharp.
    const QRectF box(1, (place.height - h) / 2, place.width - 2, h);
    fillFittedText(p, text, box);
    return image;
}

// A sine-like wave across the box, for the AC sign.
void drawTilde(QPainter& p, const QRectF& box) {
    QPainterPath wave;
    const double y = box.center().y(), a = box.height() / 2, w = box.width();
    wave.moveTo(box.left(), y);
    wave.cubicTo(box.left() + w * 0.25, y - 2 * a, box.left() + w * 0.25, y, box.center().x(), y);
    wave.cubicTo(box.left() + w * 0.75, y, box.left() + w * 0.75, y + 2 * a, box.right(), y);
    p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
}

QImage currentTypePicture(const AnnunciatorPlace& place, bool alternating) {
    QImage image = transparentImage(place.width, place.height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double h = place.height;
    const QRectF sign(1, 2, 7, h - 4);
    if (alternating) {
        drawTilde(p, sign.adjusted(0, 1.5, 0, -1.5));
    } else {
        // A solid line over a dashed one.
        p.fillRect(QRectF(sign.left(), sign.top() + 1, sign.width(), 1.6), kInk);
        const double y = sign.bottom() - 2.6;
        for (double x = sign.left(); x < sign.right(); x += 3)
            p.fillRect(QRectF(x, y, 1.8, 1.6), kInk);
    }
    fillFittedText(p, alternating ? QStringLiteral("AC") : QStringLiteral("DC"),
                   QRectF(10, 2, place.width - 11, h - 4));
    return image;
}

QImage batteryPicture(const AnnunciatorPlace& place) {
    QImage image = transparentImage(place.width, place.height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(2.5, 4.5, place.width - 8, place.height - 9);
    p.setPen(QPen(kInk, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(body);
    p.fillRect(QRectF(body.right() + 1, body.center().y() - 3, 3, 6), kInk);
    // Only a little charge left.
    p.fillRect(QRectF(body.left() + 2.5, body.top() + 2.5, 4, body.height() - 5), kInk);
    return image;
}

QImage continuityPicture(const AnnunciatorPlace& place) {
    QImage image = transparentImage(place.width, place.height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double cy = place.height / 2.0;
    // Loudspeaker: magnet and cone.
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRect(QRectF(1, cy - 3, 4, 6));
    p.drawPolygon(QPolygonF({{5, cy - 3}, {10, cy - 8}, {10, cy + 8}, {5, cy + 3}}));
    // Sound waves.
    p.setPen(QPen(kInk, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (double r : {4.5, 8.5})
        p.drawArc(QRectF(10 - r + 2, cy - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
    return image;
}

QImage diodePicture(const AnnunciatorPlace& place) {
    QImage image = transparentImage(place.width, place.height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double cy = place.height / 2.0, w = place.width;
    const double tail = w * 0.3, tip = w * 0.62;
    p.setPen(QPen(kInk, 2));
    p.drawLine(QPointF(2, cy), QPointF(w - 2, cy));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF({{tail, cy - 7}, {tip, cy}, {tail, cy + 7}}));
    p.drawRect(QRectF(tip, cy - 7, 2.5, 14));
    return image;
}

QImage autoOffPicture(const AnnunciatorPlace& place) {
    QImage image = transparentImage(place.width, place.height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The power symbol: an open ring with a bar through its gap.
    const QPointF c(place.width / 2.0, place.height / 2.0 + 1);
    const double r = std::min(place.width, place.height) / 2.0 - 3.5;
    p.setPen(QPen(kInk, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 125 * 16, 290 * 16);
    p.drawLine(QPointF(c.x(), c.y() - r - 2), QPointF(c.x(), c.y() - 1));
    return image;
}

// A bar like a digit segment, centred on the picture.
QImage barPicture(const AnnunciatorPlace& place, double length, double thickness) {
    QImage image = transparentImage(place.width, place.height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    const double x0 = (place.width - length) / 2, y = place.height / 2.0;
    p.drawPolygon(horizontalSegment(x0, x0 + length, y, thickness, 0));
    return image;
}

QImage pointPicture(const AnnunciatorPlace& place) {
    QImage image = transparentImage(place.width, place.height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QRectF(1, 1, place.width - 2, place.height - 2));
    return image;
}

} // namespace

QImage lcdBitmap(const QString& name) {
    if (!name.startsWith(QLatin1String("LCDM")))
        return {};
    const QStringView number = QStringView(name).mid(4);
    bool ok = false;
    const int code = number.toInt(&ok);
    // The resource names are exactly "LCDM" and the plain decimal code.
    if (!ok || code < 0 || code >= DigitGlyphCount || number != QString::number(code))
        return {};
    return drawGlyph(code);
}

QImage annunciatorPicture(int tag) {
    if (tag < 1 || tag > AnnunciatorCount)
        return {};
    const AnnunciatorPlace& place = AnnunciatorPlaces[std::size_t(tag - 1)];

    // Lettered annunciators: the text and its largest letter height (0: the picture's).
    struct Lettering {
        int tag;
        const char16_t* text;
        int height;
    };
    constexpr int kWord = 11; // the word annunciators of the top two rows
    static constexpr Lettering kLettering[] = {
        {2, u"HOLD", kWord},  {3, u"REL", kWord},  {4, u"MAX", kWord},   {5, u"MIN", kWord},
        {6, u"PMAX", kWord},  {7, u"PMIN", kWord}, {8, u"RS232", kWord}, {9, u"AUTO", kWord},
        {10, u"MANU", kWord}, {11, u"RPM", kWord}, {12, u"REC", kWord},  {23, u"OL", 12},
        {24, u"\u00B0C", 0},  {25, u"\u00B0F", 0}, {26, u"n", 0},        {27, u"\u00B5", 0},
        {28, u"m", 0},        {29, u"F", 0},       {30, u"\u00B5", 0},   {31, u"m", 0},
        {32, u"V", 0},        {33, u"A", 0},       {34, u"M", 0},        {35, u"k", 0},
        {36, u"\u03A9", 0},   {37, u"Hz", 0},
    };
    for (const Lettering& l : kLettering)
        if (l.tag == tag)
            return textPicture(place, QString::fromUtf16(l.text),
                               l.height > 0 ? l.height : place.height);

    switch (tag) {
    case 1:
        return batteryPicture(place);
    case 13:
        return continuityPicture(place);
    case 14:
        return diodePicture(place);
    case 15:
        return currentTypePicture(place, true);
    case 16:
        return currentTypePicture(place, false);
    case 17:
        return autoOffPicture(place);
    case 18:
        return barPicture(place, 21, 6); // the minus sign before the digits
    case 19:
    case 20:
    case 21:
        return pointPicture(place);
    case 22:
        return barPicture(place, 11, 4); // the minus sign before the bar graph
    default:
        return {};
    }
}

QImage barSegments() {
    QImage image = transparentImage(BarSegmentsWidth, BarSegmentsHeight);
    QPainter p(&image);
    for (int i = 0; i < BarSegmentCount; ++i)
        p.fillRect(i * BarSegmentPitch + 1, 5, BarSegmentPitch - 2, BarSegmentsHeight - 10, kInk);
    return image;
}

QImage barScale() {
    QImage image = transparentImage(BarScaleWidth, BarScaleHeight);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    // The scale lies 3 pixels left of the bar: segment i is centred at 6 i + 6.
    auto centre = [](int segment) { return BarSegmentPitch * segment + 6; };
    for (int i = 0; i < BarSegmentCount; i += 5)
        p.fillRect(centre(i), i % 10 == 0 ? 7 : 8, 1, BarScaleHeight - (i % 10 == 0 ? 7 : 8), kInk);
    for (int i = 0; i <= 40; i += 10) {
        const QString label = QString::number(i);
        const double width = 5.0 * label.size();
        drawFittedText(p, label, QRectF(centre(i) - width / 2, 0, width, 6));
    }
    return image;
}
