#pragma once

#include "portidentity.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// The system's serial ports with what their adapters report about themselves, and the rule
// for finding a meter's port again after its device vanished.
//
// The list is read from the system each time it is asked for (ports come and go with USB
// adapters); tests replace it with setOverride to say which device lives at which path. The
// simulator is never in it.
class SerialPortList {
public:
    struct Entry {
        QString name; // "ttyUSB0", as the port box shows it
        QString path; // "/dev/ttyUSB0"
        PortIdentity identity;
    };

    // The ports now, sorted by name.
    static QList<Entry> entries();
    // Replaces the system's list (tests); std::nullopt restores it.
    static void setOverride(std::optional<QList<Entry>> entries);
    static bool overridden();

    // The identity of the device that `path` leads to: a system location, a port name or a link
    // to the device (/dev/serial/by-id/..., a link of the user's own). Unknown when no listed
    // port is reached that way (a pseudo-terminal, a device that is gone).
    static PortIdentity identityAt(const QString& path);
    static PortIdentity identityAt(const QString& path, const QList<Entry>& ports);

    // Where to open again a port whose device vanished while it was open at `lostPath`, given
    // the ports listed now:
    // - without a known identity, `lostPath` itself (whatever device is there now);
    // - with one, the port that reports the same identity: `lostPath` when that name still
    //   leads to it (the device came back in place, or `lostPath` is a by-id link, which
    //   follows the device), else the port's new path;
    // - empty while no listed port reports that identity, even when `lostPath` is there again
    //   with another device or one that reports no identity: a meter's port never opens
    //   somebody else's device.
    static QString reopenPath(const QString& lostPath, const PortIdentity& identity,
                              const QList<Entry>& ports);

    // The links in `directory` (the system's /dev/serial/by-id) by the device path each one
    // resolves to; where several lead to one device, the first by name.
    static QHash<QString, QString> linksByTarget(const QString& directory);

private:
    // True when `path` names or leads to the port of `entry`.
    static bool leadsTo(const QString& path, const QString& resolved, const Entry& entry);
};
