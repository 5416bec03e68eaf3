#pragma once

#include <QByteArray>

// Nine live frame characters from their parts, plus CR LF: range code, four digit characters,
// the function character, and the low bits of the three status characters (c9 = 2: auto range).
inline QByteArray LiveFrame(int range, const char* digits, char function, int c7 = 0, int c8 = 0,
                            int c9 = 2) {
    QByteArray f;
    f += char(0x30 | range);
    f += QByteArray(digits, 4);
    f += function;
    f += char(0x30 | c7);
    f += char(0x30 | c8);
    f += char(0x30 | c9);
    f += "\r\n";
    return f;
}
