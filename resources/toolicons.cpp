#include "toolicons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kInk(40, 48, 64);
const QColor kBlue(44, 104, 184);
const QColor kGreen(34, 150, 80);
const QColor kPaper(250, 250, 246);
const QColor kYellow(238, 190, 64);

QPen ink(qreal width = 1.6) {
    return QPen(kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawFolder(QPainter& p) {
    QPainterPath back;
    back.moveTo(3, 8);
    back.lineTo(12, 8);
    back.lineTo(15, 11);
    back.lineTo(28, 11);
    back.lineTo(28, 26);
    back.lineTo(3, 26);
    back.closeSubpath();
    p.setPen(ink());
    p.setBrush(kYellow.darker(115));
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(3, 26);
    front.lineTo(7, 15);
    front.lineTo(31, 15);
    front.lineTo(28, 26);
    front.closeSubpath();
    p.setBrush(kYellow);
    p.drawPath(front);
}

void drawDisk(QPainter& p) {
    p.setPen(ink());
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2.5, 2.5);
    p.setBrush(kPaper);
    p.drawRect(QRectF(9, 4, 14, 9)); // shutter label
    p.setBrush(QColor(210, 214, 222));
    p.drawRect(QRectF(8, 17, 16, 11)); // label
    p.setPen(QPen(kInk, 1.2));
    p.drawLine(QPointF(11, 21), QPointF(21, 21));
    p.drawLine(QPointF(11, 24), QPointF(21, 24));
    p.setBrush(kInk);
    p.drawRect(QRectF(18, 6, 3, 5));
}

void drawMeterDownload(QPainter& p) {
    // The meter's body and display.
    p.setPen(ink());
    p.setBrush(QColor(250, 200, 40));
    p.drawRoundedRect(QRectF(3, 2, 15, 26), 3, 3);
    p.setBrush(QColor(200, 214, 190));
    p.drawRect(QRectF(5.5, 5, 10, 7));
    p.setBrush(kInk);
    p.drawEllipse(QPointF(10.5, 19), 3.2, 3.2);
    // The arrow towards the computer.
    QPainterPath arrow;
    arrow.moveTo(21, 8);
    arrow.lineTo(26, 8);
    arrow.lineTo(26, 18);
    arrow.lineTo(30, 18);
    arrow.lineTo(23.5, 27);
    arrow.lineTo(17, 18);
    arrow.lineTo(21, 18);
    arrow.closeSubpath();
    p.setPen(QPen(kGreen.darker(140), 1.2));
    p.setBrush(kGreen);
    p.drawPath(arrow);
}

void drawPrinter(QPainter& p) {
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawRect(QRectF(9, 3, 14, 10)); // paper in
    p.setBrush(QColor(150, 156, 168));
    p.drawRoundedRect(QRectF(3, 11, 26, 12), 2.5, 2.5); // body
    p.setBrush(kPaper);
    p.drawRect(QRectF(8, 19, 16, 10)); // paper out
    p.setPen(QPen(kInk, 1.1));
    p.drawLine(QPointF(11, 23), QPointF(21, 23));
    p.drawLine(QPointF(11, 26), QPointF(19, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(25, 15), 1.5, 1.5);
}

void drawClock(QPainter& p) {
    p.setPen(ink(1.8));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(16, 17), 12, 12);
    for (int h = 0; h < 12; ++h) {
        p.save();
        p.translate(16, 17);
        p.rotate(h * 30.0);
        p.setPen(QPen(kInk, h % 3 == 0 ? 1.8 : 1.0));
        p.drawLine(QPointF(0, -10.5), QPointF(0, h % 3 == 0 ? -8 : -9));
        p.restore();
    }
    p.setPen(ink(2.0));
    p.drawLine(QPointF(16, 17), QPointF(16, 9.5));
    p.drawLine(QPointF(16, 17), QPointF(21.5, 20));
    p.setPen(QPen(QColor(200, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 5), QPointF(8, 2.5)); // alarm bells
    p.drawLine(QPointF(28, 5), QPointF(24, 2.5));
}

void drawChart(QPainter& p) {
    p.setPen(ink());
    p.setBrush(Qt::black);
    p.drawRect(QRectF(3, 4, 26, 22));
    p.setPen(QPen(QColor(90, 90, 90), 0.8, Qt::DotLine));
    for (int x : {10, 17, 24})
        p.drawLine(QPointF(x, 5), QPointF(x, 25));
    for (int y : {11, 18})
        p.drawLine(QPointF(4, y), QPointF(28, y));
    QPolygonF line{{5, 21}, {9, 15}, {13, 17}, {17, 9}, {21, 13}, {25, 7}, {28, 10}};
    p.setPen(QPen(QColor(255, 255, 0), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(line);
}

void drawHelp(QPainter& p) {
    p.setPen(QPen(kBlue.darker(130), 1.6));
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(16, 16), 13, 13);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(20);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(3, 3, 26, 27), Qt::AlignCenter, QStringLiteral("?"));
}

} // namespace

QImage toolIconPicture(ToolIcon icon) {
    QImage image(ToolIconSize, ToolIconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (icon) {
    case ToolIcon::OpenFile:
        drawFolder(p);
        break;
    case ToolIcon::SaveFile:
        drawDisk(p);
        break;
    case ToolIcon::LoadData:
        drawMeterDownload(p);
        break;
    case ToolIcon::Print:
        drawPrinter(p);
        break;
    case ToolIcon::Schedule:
        drawClock(p);
        break;
    case ToolIcon::OutputGraph:
        drawChart(p);
        break;
    case ToolIcon::Help:
        drawHelp(p);
        break;
    }
    return image;
}
