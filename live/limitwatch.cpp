#include "limitwatch.h"

#include <algorithm>
#include <cmath>

void LimitWatch::setLimits(const Limits& limits) {
    m_limits = limits;
    if (!std::isfinite(m_limits.hysteresis) || m_limits.hysteresis < 0)
        m_limits.hysteresis = 0;
    m_zone = Zone::Inside;
}

bool LimitWatch::feed(std::optional<double> value, bool negative) {
    const Zone before = m_zone;
    const auto& high = m_limits.high;
    const auto& low = m_limits.low;
    const double h = m_limits.hysteresis;
    if (!value || !std::isfinite(*value)) {
        // An overload is beyond whatever limit lies on its side.
        if (!negative && high)
            m_zone = Zone::Above;
        else if (negative && low)
            m_zone = Zone::Below;
        return m_zone != before;
    }
    const double v = *value;
    if (high && v > *high)
        m_zone = Zone::Above;
    else if (low && v < *low)
        m_zone = Zone::Below;
    else if (m_zone == Zone::Above && (!high || v < *high - h))
        m_zone = Zone::Inside;
    else if (m_zone == Zone::Below && (!low || v > *low + h))
        m_zone = Zone::Inside;
    return m_zone != before;
}
