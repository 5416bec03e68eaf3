#pragma once

#include "livelink.h"
#include "liveupdate.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// Subscribes to a live link and writes down what it said, in order, as short texts, and keeps
// the latest of each: the one helper the tests use in place of windows.
//
// An update is written as the changes it carries, in the order the views react to them:
// "peakEnded", "functionChanged", "rangeChanged <previous multiplier> <multiplier>",
// "scaleChanged", "stats <max><peak max><min><peak min>" (1 for a tracker that moved),
// "reading", "needle <magnitude> <sign>".
class LinkSpy : public QObject {
public:
    explicit LinkSpy(LiveLink& link) {
        connect(&link, &LiveLink::updated, this, [this](const LiveUpdate& update) {
            last = update;
            ++updates;
            calls += describe(update);
            if (onUpdate)
                onUpdate(update);
        });
        connect(&link, &LiveLink::connectionChanged, this, [this](bool up, int meterModel) {
            connected = up;
            model = meterModel;
            calls << QStringLiteral("connection %1 %2").arg(up).arg(meterModel);
        });
        connect(&link, &LiveLink::statusTextChanged, this, [this](int panel, const QString& text) {
            (panel == 0 ? panel0 : panel1) = text;
            calls << QStringLiteral("status%1 %2").arg(panel).arg(text);
        });
        connect(&link, &LiveLink::ticked, this, [this](double, bool withReading) {
            ++ticks;
            if (withReading)
                ++ticksWithReading;
        });
    }

    static QStringList describe(const LiveUpdate& u) {
        QStringList out;
        if (u.peakEnded)
            out << QStringLiteral("peakEnded");
        if (u.functionChanged)
            out << QStringLiteral("functionChanged");
        if (u.rangeChanged)
            out << QStringLiteral("rangeChanged %1 %2")
                       .arg(u.previousMultiplier)
                       .arg(u.reading.multiplier);
        if (u.scaleChanged)
            out << QStringLiteral("scaleChanged");
        out << QStringLiteral("stats %1%2%3%4")
                   .arg(u.maxMoved)
                   .arg(u.peakMaxMoved)
                   .arg(u.minMoved)
                   .arg(u.peakMinMoved);
        out << QStringLiteral("reading");
        out << QStringLiteral("needle %1 %2")
                   .arg(u.needleMagnitude())
                   .arg(u.needleNegative() ? QStringLiteral("-") : QStringLiteral("+"));
        return out;
    }

    // The entries of `calls` whose text starts with the prefix.
    static QStringList startingWith(const QStringList& calls, const QString& prefix) {
        QStringList out;
        for (const auto& c : calls)
            if (c.startsWith(prefix))
                out << c;
        return out;
    }
    QStringList callsStarting(const QString& prefix) const { return startingWith(calls, prefix); }

    QStringList calls;
    LiveUpdate last;
    int updates = 0;
    int ticks = 0;
    int ticksWithReading = 0;
    bool connected = false;
    int model = 0;
    QString panel0, panel1;
    std::function<void(const LiveUpdate&)> onUpdate;
};
