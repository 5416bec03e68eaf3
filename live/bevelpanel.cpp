#include "bevelpanel.h"

#include <QPainter>
#include <qdrawutil.h>

BevelPanel::BevelPanel(QWidget* parent, Bevel bevel, int bevelWidth, bool borderLine)
    : QWidget(parent), m_bevel(bevel), m_bevelWidth(bevelWidth), m_borderLine(borderLine) {
    setAutoFillBackground(true);
}

void BevelPanel::setColor(const QColor& color) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
}

void BevelPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    if (m_borderLine) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    if (m_bevel != Bevel::None && m_bevelWidth > 0)
        qDrawShadePanel(&p, r, palette(), m_bevel == Bevel::Lowered, m_bevelWidth);
}
