#pragma once

#include "exitcode.h"
#include "readingprinter.h"

#include "livelink.h"

#include <QString>

// The meter as the command-line tool holds it: one live link (its live port, receive step and
// main timer, with the program's acknowledgement and keep-alive rules) and the views that
// print its readings.
//
// connect() finds the meter the way the program does: with no port named, the start-up search
// over the system's ports (never the simulator); with a port named, a call on that port
// alone. Either way the link ends up as the search leaves it: the receive step attached, the
// live command sent and the main timer running, which calls the meter again while it is
// silent.
class MeterSession {
public:
    MeterSession();
    ~MeterSession();
    MeterSession(const MeterSession&) = delete;
    MeterSession& operator=(const MeterSession&) = delete;

    // What calling the meter on one port found.
    struct Probe {
        int model = 0;        // 120 or 122 when a meter answered, else 0
        bool opened = false;  // the port opened
        bool refused = false; // it did not open because it is in use or not permitted
        QString failure;      // why it did not open, in the system's words
    };
    // Opens `port` on `path` and calls the meter with K, listening up to `waitMs` for its
    // answer. Leaves the port open (and without a receive handler) when a meter answered,
    // closed otherwise.
    static Probe probePort(MeterPort& port, const QString& path, int waitMs);

    // The device paths of the system's ports (never the simulator) on which a meter answers,
    // each called for up to `waitMs`: what `live --all` reads.
    static QStringList metersOnAllPorts(int waitMs = 300);

    // The id a meter's readings carry: the port's device path without "/dev/" (other
    // slashes and the characters an MQTT topic reserves become "_"), the model, and the
    // adapter's serial number where it reports one: "ttyUSB0-122-A10K3Q2F", "pts_4-122".
    static QString meterId(const QString& path, int model, const QString& serialNumber);

    // Finds the meter on `portOption` (empty: the search) and starts the live link. On failure
    // *message says why and the port is closed.
    ExitCode connect(const QString& portOption, QString* message);
    // Services events until the first reading arrived, at most `timeoutMs`; true when one did.
    bool waitForReading(int timeoutMs);
    // Stops the main timer and closes the live port.
    void close();

    LiveLink& link() { return m_link; }
    ReadingPrinter& printer() { return m_printer; }

private:
    ReadingPrinter m_printer;
    LiveLink m_link;
};
