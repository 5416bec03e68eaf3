#pragma once

#include "liveviews.h"

#include <functional>

#include <QString>
#include <QStringList>

// Views that exist as the test says and write down every call, in order.
class RecordingViews : public LiveViews {
public:
    bool recorder = true, lcd = true, status = true, gauge = true;
    QStringList calls;
    QString panel0, panel1;
    bool loggerEnabled = false;
    bool noConnectionVisible = true;
    bool startEnabled = false, stopEnabled = false;
    int samples = 0;
    std::function<void()> onLcdShow;
    std::function<void()> onGaugeShow; // the last view call of a decoded frame

    bool hasRecorder() const override { return recorder; }
    bool hasLcd() const override { return lcd; }
    bool hasStatus() const override { return status; }
    bool hasGauge() const override { return gauge; }

    void recorderFunctionChange() override { calls << "recorderFunctionChange"; }
    void recorderRangeChange(int previousMultiplier, int multiplier) override {
        calls
            << QStringLiteral("recorderRangeChange %1 %2").arg(previousMultiplier).arg(multiplier);
    }
    void recorderScaleChange() override { calls << "recorderScaleChange"; }
    void recorderTakeSample(double) override {
        ++samples;
        calls << "recorderTakeSample";
    }
    void recorderShowRate(int seconds) override {
        calls << QStringLiteral("recorderShowRate %1").arg(seconds);
    }
    void recorderSetButtons(bool start, bool stop) override {
        startEnabled = start;
        stopEnabled = stop;
        calls << QStringLiteral("recorderSetButtons %1 %2").arg(start).arg(stop);
    }
    void gaugeRelabel() override { calls << "gaugeRelabel"; }
    void gaugeShow(double magnitude, const QString& sign) override {
        calls << QStringLiteral("gaugeShow %1 %2").arg(magnitude).arg(sign);
        if (onGaugeShow)
            onGaugeShow();
    }
    void statusShow(bool max, bool pmax, bool min, bool pmin) override {
        calls << QStringLiteral("statusShow %1%2%3%4").arg(max).arg(pmax).arg(min).arg(pmin);
    }
    void statusPeakEnded() override { calls << "statusPeakEnded"; }
    void lcdShow() override {
        calls << "lcdShow";
        if (onLcdShow)
            onLcdShow();
    }
    void lcdSetNoConnection(bool visible) override {
        noConnectionVisible = visible;
        calls << QStringLiteral("lcdSetNoConnection %1").arg(visible);
    }
    void setStatusText(int panel, const QString& text) override {
        (panel == 0 ? panel0 : panel1) = text;
        calls << QStringLiteral("status%1 %2").arg(panel).arg(text);
    }
    void setLoggerCommandsEnabled(bool enabled) override {
        loggerEnabled = enabled;
        calls << QStringLiteral("logger %1").arg(enabled);
    }

    // Calls whose text starts with the prefix.
    QStringList callsStarting(const QString& prefix) const {
        QStringList out;
        for (const auto& c : calls)
            if (c.startsWith(prefix))
                out << c;
        return out;
    }
};
