#pragma once

#include "liveviews.h"

// Live views that are all absent and ignore every call: the command-line tool, tests and
// benchmarks derive from it and override only the views they use.
class NoViews : public LiveViews {
public:
    bool hasRecorder() const override { return false; }
    bool hasLcd() const override { return false; }
    bool hasStatus() const override { return false; }
    bool hasGauge() const override { return false; }
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
