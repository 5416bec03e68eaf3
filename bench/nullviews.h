#pragma once

#include "noviews.h"

// Every view "exists" and does nothing: measures the link and the decoder alone.
class NullViews : public NoViews {
public:
    bool hasRecorder() const override { return true; }
    bool hasLcd() const override { return true; }
    bool hasStatus() const override { return true; }
    bool hasGauge() const override { return true; }
};
