#pragma once

#include "limitwatch.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class LimitMonitor;

// Colours a view's values while the readings are beyond a limit: red above the high limit,
// blue below the low one, as the limit monitor says. The widgets keep their pictures and
// texts; a colour effect lies over each, so the view draws as it always does. Owned by the
// view; follows the monitor for as long as both exist.
class LimitMark : public QObject {
    Q_OBJECT
public:
    LimitMark(QWidget* view, QList<QWidget*> targets, const LimitMonitor& monitor);

    LimitWatch::Zone zone() const { return m_zone; }
    // Red above, blue below, invalid inside.
    static QColor colourOf(LimitWatch::Zone zone);

private:
    void show(LimitWatch::Zone zone);

    QList<QPointer<QWidget>> m_targets;
    LimitWatch::Zone m_zone = LimitWatch::Zone::Inside;
};
