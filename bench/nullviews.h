#pragma once

#include "liveviews.h"

// Every view "exists" and does nothing: measures the link and the decoder alone.
class NullViews : public LiveViews {
public:
    bool hasRecorder() const override { return true; }
    bool hasLcd() const override { return true; }
    bool hasStatus() const override { return true; }
    bool hasGauge() const override { return true; }
    void recorderFunctionChange() override {}
    void recorderRangeChange(int, int) override {}
    void recorderScaleChange() override {}
    void recorderTakeSample(double) override {}
    void recorderShowRate(int) override {}
    void recorderSetButtons(bool, bool) override {}
    void gaugeRelabel() override {}
    void gaugeShow(double, const QString&) override {}
    void statusShow(bool, bool, bool, bool) override {}
    void statusPeakEnded() override {}
    void lcdShow() override {}
    void lcdSetNoConnection(bool) override {}
    void setStatusText(int, const QString&) override {}
    void setLoggerCommandsEnabled(bool) override {}
};
