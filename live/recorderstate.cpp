#include "recorderstate.h"

#include <cmath>

double RecorderState::axisEndFor(double end, double when, double step, double tolerance) {
    if (end > when + tolerance || step <= 0)
        return end;
    const double spans = std::max(std::floor((when + tolerance - end) / step), 0.0) + 1;
    return end + spans * step;
}
