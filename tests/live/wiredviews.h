#pragma once

#include "support/liveframe.h"
#include "noviews.h"
#include "framedecoder.h"
#include "gaugewindow.h"
#include "lcdwindow.h"
#include "statisticswindow.h"

#include <QByteArray>
#include <QPointer>

#include <cmath>

// The live views wired to a decoder the way the main window wires them; a view that is not
// set (or was closed) counts as absent.
class WiredViews : public NoViews {
public:
    FrameDecoder decoder;
    QPointer<LcdWindow> lcd;
    QPointer<StatisticsWindow> status;
    QPointer<GaugeWindow> gauge;

    void Decode(const QByteArray& frame, int model = 122) {
        decoder.DecodeFrame(frame, model, *this);
    }

    bool hasLcd() const override { return lcd; }
    bool hasStatus() const override { return status; }
    bool hasGauge() const override { return gauge; }

    void gaugeRelabel() override { gauge->Relabel(decoder.reading.Divisor); }
    void gaugeShow(double magnitude, const QString& sign) override {
        gauge->ShowValue(magnitude, sign);
    }
    void statusShow(bool max, bool pmax, bool min, bool pmin) override {
        status->ShowStatistics(decoder.reading, decoder.stats, max, pmax, min, pmin);
    }
    void statusPeakEnded() override { status->ClearPeak(); }
    void lcdShow() override { lcd->ShowReading(decoder.reading, decoder.previous.PreviousDigits); }
    void lcdSetNoConnection(bool visible) override { lcd->SetNoConnection(visible); }
};
