#include "limitmark.h"

#include "limitmonitor.h"

#include <QGraphicsColorizeEffect>

LimitMark::LimitMark(QWidget* view, QList<QWidget*> targets, const LimitMonitor& monitor)
    : QObject(view) {
    for (QWidget* w : targets)
        m_targets << w;
    connect(&monitor, &LimitMonitor::zoneChanged, this,
            [this](LimitWatch::Zone zone, const QString&) { show(zone); });
    show(monitor.zone());
}

QColor LimitMark::colourOf(LimitWatch::Zone zone) {
    switch (zone) {
    case LimitWatch::Zone::Above:
        return QColor(220, 0, 0);
    case LimitWatch::Zone::Below:
        return QColor(0, 70, 220);
    case LimitWatch::Zone::Inside:
        break;
    }
    return QColor();
}

void LimitMark::show(LimitWatch::Zone zone) {
    m_zone = zone;
    for (const QPointer<QWidget>& w : m_targets) {
        if (!w)
            continue;
        if (zone == LimitWatch::Zone::Inside) {
            w->setGraphicsEffect(nullptr);
            continue;
        }
        auto* tint = new QGraphicsColorizeEffect(w);
        tint->setColor(colourOf(zone));
        tint->setStrength(1.0);
        w->setGraphicsEffect(tint); // the widget owns it and deletes it when replaced
    }
}
