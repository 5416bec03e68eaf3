#pragma once

#include <QObject>

class LiveLink;
class QWidget;

// Fades a live view while its reading is stale: no valid frame for more than two seconds (a
// meter that stopped answering, or one whose every frame fails the check). The link's own
// watch declares "No Connection" only after five silent ticks, and a meter that sends only
// damaged frames keeps the link up, so without this a view would go on showing the last good
// value, even a previous session's, as if it were live. The view's content stays as it was,
// drawn faded; the next valid frame shows it at full strength again.
//
// Follows the link's updates (a valid frame) and ticks (the link's clock); the view keeps it
// as a child and asks stale() for its own drawing when it needs to.
class StaleMark : public QObject {
    Q_OBJECT
public:
    static constexpr double kStaleSeconds = 2.0;

    // Fades `view` (through a graphics effect it installs on it) while the link's reading is
    // stale. A view starts fresh: it has shown nothing yet that could mislead.
    StaleMark(QWidget* view, const LiveLink& link);
    bool stale() const { return m_stale; }

Q_SIGNALS:
    void staleChanged(bool stale);

private:
    void setStale(bool stale);

    QWidget* m_view;
    double m_lastReading; // days since 30 Dec 1899, on the link's clock
    bool m_stale = false;
};
