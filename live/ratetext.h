#pragma once

#include <QString>

// The text of a rate editor: two blanks, two minute digits, " : ", two second digits and
// blanks, as in "  05 : 30  ". Both the recorder and its schedule read it this way.
class RateText {
public:
    int minutes = 0;
    int seconds = 0;
    // A part did not convert or was above 60: the editor must be rewritten with text.
    bool corrected = false;
    // "  " + minutes text + " : " + seconds text + " ", each part as typed or as corrected.
    QString text;

    int interval() const { return minutes * 60 + seconds; }

    // Minutes are characters 3 and 4 of the text, seconds characters 8 and 9 (counting from
    // 1). A part converts when it holds decimal digits, optionally after leading blanks; one
    // that does not (letters, blanks, a sign, missing characters) counts as 0 and is written
    // "00". A part above 60 counts as 60 and is written "60". There is no lower bound: 00:00
    // is a valid rate.
    static RateText parse(const QString& text);

    // The editor text for a number of seconds: "  " + mm + " : " + ss + " ", where mm is
    // seconds div 60 and ss seconds mod 60, each as the last two characters of "0" followed by
    // the number. Negative numbers show as 0.
    static QString Format(int seconds);
};
