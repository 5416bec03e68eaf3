#pragma once

#include "support/liveframe.h"
#include "framedecoder.h"
#include "gaugewindow.h"
#include "lcdwindow.h"
#include "statisticswindow.h"

#include <QByteArray>
#include <QPointer>

// A decoder whose updates go to the live views the way the live link hands them over; a view
// that is not set (or was closed) gets nothing.
class WiredViews {
public:
    FrameDecoder decoder;
    QPointer<LcdWindow> lcd;
    QPointer<StatisticsWindow> status;
    QPointer<GaugeWindow> gauge;

    void decode(const QByteArray& frame, int model = 122) {
        const LiveUpdate update = decoder.decode(frame, model);
        if (status)
            status->showUpdate(update);
        if (lcd)
            lcd->showReading(update.reading);
        if (gauge)
            gauge->showUpdate(update);
    }
};
