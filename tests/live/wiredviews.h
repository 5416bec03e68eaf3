#pragma once

#include "framedecoder.h"
#include "liveviews.h"
#include "tfrmanalog.h"
#include "tfrmlcd.h"
#include "tfrmstatus.h"

#include <QByteArray>
#include <QPointer>

#include <cmath>

// Nine live frame characters from their parts, plus CR LF. digits: four characters.
inline QByteArray LiveFrame(int range, const char* digits, char function, int c7 = 0, int c8 = 0,
                            int c9 = 2) {
    QByteArray f;
    f += char(0x30 | range);
    f += QByteArray(digits, 4);
    f += function;
    f += char(0x30 | c7);
    f += char(0x30 | c8);
    f += char(0x30 | c9);
    f += "\r\n";
    return f;
}

// The live views wired to a decoder the way the main window wires them; a view that is not
// set (or was closed) counts as absent.
class WiredViews : public LiveViews {
public:
    FrameDecoder decoder;
    QPointer<TfrmLCD> lcd;
    QPointer<TfrmStatus> status;
    QPointer<TfrmAnalog> gauge;

    void Decode(const QByteArray& frame, int model = 122) {
        decoder.DecodeFrame(frame, model, *this);
    }

    bool hasRecorder() const override { return false; }
    bool hasLcd() const override { return lcd; }
    bool hasStatus() const override { return status; }
    bool hasGauge() const override { return gauge; }

    void recorderFunctionChange() override {}
    void recorderRangeChange(int, int) override {}
    void recorderScaleChange() override {}
    void recorderTakeSample(double) override {}
    void recorderShowRate(int) override {}
    void recorderSetButtons(bool, bool) override {}

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
    void setStatusText(int, const QString&) override {}
    void setLoggerCommandsEnabled(bool) override {}
};
