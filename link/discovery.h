#pragma once

#include <QString>

class LiveLink;

// What the meter search needs from the main window besides the live link: the port list
// of the port box, and the start-up screen's progress line.
class DiscoveryHost {
public:
    virtual ~DiscoveryHost() = default;
    // The start-up screen's status line (a hidden About box takes it once the screen is gone).
    virtual void showProgress(const QString& text) = 0;
    virtual int portCount() const = 0;
    virtual QString portName(int index) const = 0;
    // Selects an item of the port box the way the program does: no port change follows.
    virtual void selectPort(int index) = 0;
    // The port box's current text.
    virtual QString portText() const = 0;
};

// Calls the meter on every port of the port list (except the emulator, which only the user
// ever picks), the port used last (the link's port index) first, tells model 120 from 122,
// and hands the line to the live link: the receive handler attached and the A command sent on
// the port found, or on the last port used.
void discoverMeter(LiveLink& link, DiscoveryHost& host);

// How long the search listens for the identity answer after the two K commands. At 9600 baud
// the echo and the answer take about 11 ms; a meter needs a moment more to react.
inline constexpr int IdentityWaitMs = 150;
