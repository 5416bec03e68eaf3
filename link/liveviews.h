#pragma once

#include <QString>

// What the live link asks of the windows. The main window implements it; tests record the
// calls. Each view call is made only after the matching has...() answered true.
class LiveViews {
public:
    virtual ~LiveViews() = default;

    virtual bool hasRecorder() const = 0;
    virtual bool hasLcd() const = 0;
    virtual bool hasStatus() const = 0;
    virtual bool hasGauge() const = 0;

    // Recorder: samples discarded, stored points rescaled, y range for the new divisor.
    virtual void recorderFunctionChange() = 0;
    virtual void recorderRangeChange(int previousMultiplier, int multiplier) = 0;
    virtual void recorderScaleChange() = 0;
    virtual void recorderTakeSample(double when) = 0;
    virtual void recorderShowRate(int seconds) = 0;
    virtual void recorderSetButtons(bool startEnabled, bool stopEnabled) = 0;

    // Analog gauge: scale labels for the current divisor; needle for a magnitude and sign.
    virtual void gaugeRelabel() = 0;
    virtual void gaugeShow(double magnitude, const QString& sign) = 0;

    // Status window: which trackers changed; peak hold ended.
    virtual void statusShow(bool max, bool pmax, bool min, bool pmin) = 0;
    virtual void statusPeakEnded() = 0;

    // LCD panel: show the current reading; the "No Connection" label.
    virtual void lcdShow() = 0;
    virtual void lcdSetNoConnection(bool visible) = 0;

    // Main window: status bar panels and the logger commands (button and menu).
    virtual void setStatusText(int panel, const QString& text) = 0;
    virtual void setLoggerCommandsEnabled(bool enabled) = 0;
};
