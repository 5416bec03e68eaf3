#include "stalemark.h"

#include "daycount.h"
#include "livelink.h"

#include <QGraphicsOpacityEffect>
#include <QWidget>

StaleMark::StaleMark(QWidget* view, const LiveLink& link)
    : QObject(view), m_view(view), m_lastReading(link.clock().now()) {
    connect(&link, &LiveLink::updated, this, [this, &link](const LiveUpdate&) {
        m_lastReading = link.clock().now();
        setStale(false);
    });
    connect(&link, &LiveLink::ticked, this, [this](double now, bool) {
        setStale(now - m_lastReading > SecondsToDays(kStaleSeconds));
    });
}

void StaleMark::setStale(bool stale) {
    if (stale == m_stale)
        return;
    m_stale = stale;
    if (stale) {
        auto* fade = new QGraphicsOpacityEffect(m_view);
        fade->setOpacity(0.35);
        m_view->setGraphicsEffect(fade); // the view owns it and deletes it when replaced
    } else {
        m_view->setGraphicsEffect(nullptr);
    }
    Q_EMIT staleChanged(stale);
}
