#pragma once

#include "limitwatch.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class LiveLink;
class Recorder;
struct LiveUpdate;

// Watches the live readings against the user's limits. The limits belong to a function (the
// meter's function name: Voltage, Current, OHM...) and are kept in the settings under
// Limits/<function>/, so each function finds its own again; they are in the coherent unit of
// the function's quantity (LimitWatch). A change of function starts again from Inside with
// that function's limits.
//
// A limit never changes what is recorded. When the limits ask for it, a crossing takes one
// last sample of the crossing reading and then stops the recorder (a battery discharge test
// that ends at its cut-off voltage). Views subscribe to zoneChanged: the LCD and the status
// window colour their values, the recorder window marks its rows, the main window beeps.
class LimitMonitor : public QObject {
    Q_OBJECT
public:
    // `recorder` may be null (no recorder to stop). Connect after the recorder, so that the
    // recorder holds a reading before a crossing asks it for a sample.
    explicit LimitMonitor(LiveLink& link, Recorder* recorder = nullptr,
                          QObject* parent = nullptr);

    // The limits kept for a function; none when nothing is kept.
    static Limits storedLimits(const QString& function);
    static void storeLimits(const QString& function, const Limits& limits);

    // Sets and keeps the limits of a function; those of the function in force apply at once.
    void setLimits(const QString& function, const Limits& limits);
    // The function of the last reading (empty before one) and its limits and unit.
    QString function() const { return m_function; }
    QByteArray unit() const { return m_unit; }
    const Limits& limits() const { return m_watch.limits(); }
    LimitWatch::Zone zone() const { return m_watch.zone(); }

    // "above the high limit of 12 V: 12.5 V" for the zone just entered (empty for Inside).
    static QString describe(LimitWatch::Zone zone, const Limits& limits, const QByteArray& unit,
                            const QString& shown);

Q_SIGNALS:
    // The readings went beyond a limit or came back inside; `text` says which (describe()).
    void zoneChanged(LimitWatch::Zone zone, const QString& text);

private:
    void onUpdated(const LiveUpdate& update);

    LiveLink& m_link;
    Recorder* m_recorder;
    LimitWatch m_watch;
    QString m_function;
    QByteArray m_unit;
};
