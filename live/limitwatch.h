#pragma once

#include <optional>

// Limits on live readings: a high and a low limit (either may be unset) with a hysteresis,
// all in the coherent unit of the reading's quantity (V, A, Ohm, Hz, F, degrees Celsius; see
// RangeTable::ToSi), so that a limit holds whichever range the meter switches to.
struct Limits {
    std::optional<double> high;
    std::optional<double> low;
    // How far back inside a limit a reading has to come before it counts as inside again: a
    // reading that hovers at the limit would otherwise cross it with every frame. Never < 0.
    double hysteresis = 0;
    bool beep = false;          // sound when a limit is crossed
    bool stopRecording = false; // stop the recorder when a limit is crossed (a discharge test)

    bool any() const { return high.has_value() || low.has_value(); }
    bool operator==(const Limits&) const = default;
};

// Where the readings stand against the limits, one reading after the other. Widget-free and
// without a clock: the live link's readings go in, the zone comes out.
//
// - A reading above `high` enters Above; it counts as inside again only once a reading is
//   below high - hysteresis. The same mirrored for Below and low + hysteresis.
// - An overload counts as beyond the limit on its side ("OL" above a high limit, "-OL" below
//   a low one); an overload on a side without a limit changes nothing.
// - From Above a reading below the low limit goes straight to Below, and the reverse.
// - New limits, or another function (reset()), start again from Inside: the zone always
//   refers to the limits and quantity in force.
class LimitWatch {
public:
    enum class Zone { Inside, Above, Below };

    void setLimits(const Limits& limits);
    const Limits& limits() const { return m_limits; }
    Zone zone() const { return m_zone; }
    void reset() { m_zone = Zone::Inside; }

    // One reading: its value in the limits' unit, or nothing for an overload (negative tells
    // which side). Returns whether the zone changed with it.
    bool feed(std::optional<double> value, bool negative = false);

private:
    Limits m_limits;
    Zone m_zone = Zone::Inside;
};
