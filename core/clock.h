#pragma once

#include "daycount.h"

#include <QtGlobal>

// Time as the live link and the recorder see it: a monotonic millisecond count for intervals
// and the wall clock (as a day count, see daycount.h) for time stamps. The owner of the link
// injects one; tests substitute their own to step time by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 monotonicMs() const;
    virtual double now() const;
};
