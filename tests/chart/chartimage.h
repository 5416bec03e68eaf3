#pragma once

// Looking at pictures of a chart: screen grabs and printed pages.

#include <QColor>
#include <QImage>
#include <QRect>

inline bool nearColour(QColor c, QColor want, int tolerance) {
    return qAbs(c.red() - want.red()) <= tolerance && qAbs(c.green() - want.green()) <= tolerance &&
           qAbs(c.blue() - want.blue()) <= tolerance;
}

// How many pixels of `box` are within `tolerance` of `want` in every channel.
inline int countNear(const QImage& img, QRect box, QColor want, int tolerance) {
    int n = 0;
    box &= img.rect();
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            n += nearColour(img.pixel(x, y), want, tolerance) ? 1 : 0;
    return n;
}

// Most of a 21 x 21 box around `centre` has the colour: true also where a dotted grid line
// crosses it.
inline bool mostlyColour(const QImage& img, QPoint centre, QColor want, int tolerance = 0) {
    const QRect box(centre - QPoint(10, 10), QSize(21, 21));
    return countNear(img, box, want, tolerance) > 21 * 21 * 8 / 10;
}
