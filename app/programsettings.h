#pragma once

#include "portidentity.h"

#include <QByteArray>
#include <QRect>
#include <QString>

#include <optional>

class RecorderSchedule;

// What the program remembers between runs, in the user's settings store. Each value is read
// back checked: a value that is missing, unreadable or out of range reads as "nothing stored"
// (std::nullopt or empty), and the caller keeps its own default. Whether a stored value still
// fits the machine (a port that is gone, a screen that got smaller) is the caller's question.
//
// The port is kept by its name or path ("Port/Name"); the list index of the same port is
// kept beside it under the older key ("SOFTWARE/QL350/LastConnectedPort") for the programs
// that read that one. Where its adapter reports vendor, product and serial number, that
// identity and the /dev/serial/by-id link are kept too ("Port/Vendor", "Port/Product",
// "Port/Serial", "Port/ById"), so that the port is found again when it comes back under
// another name.
class ProgramSettings {
public:
    static QString portName();
    static void setPortName(const QString& name);
    // An identity that is not known (PortIdentity::isKnown) is stored as none: it removes the
    // one kept before, which belonged to another port.
    static PortIdentity portIdentity();
    static void setPortIdentity(const PortIdentity& identity);

    // The main window's frame (QWidget::saveGeometry()).
    static QByteArray mainGeometry();
    static void setMainGeometry(const QByteArray& geometry);

    // A child window's frame in the window area, by the kind of window ("Recorder", "Lcd",
    // "Status", "Gauge").
    static std::optional<QRect> childGeometry(const QString& kind);
    static void setChildGeometry(const QString& kind, const QRect& frame);

    // Seconds between recorded samples (0: every tick), 0 .. 3599.
    static std::optional<int> recordInterval();
    static void setRecordInterval(int seconds);

    // The recorder's schedule: its interval always; its times and whether it was armed only
    // while its stop lies ahead of `nowDays` (a schedule that has run out is not restored).
    // `schedule` holds the defaults and gets what is stored.
    static void readSchedule(RecorderSchedule& schedule, double nowDays);
    static void setSchedule(const RecorderSchedule& schedule);
};
