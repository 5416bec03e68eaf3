#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// What a serial adapter says about itself: the USB vendor and product ids and its serial
// number, and the link under /dev/serial/by-id that the system keeps pointing at it whatever
// name (ttyUSB0, ttyUSB1, ...) it gets when plugged in.
//
// The program finds a meter's port again by this identity after an unplug. Only an adapter that
// reports all three of vendor, product and serial number can be told apart from another one of
// the same make, so only such an identity counts as known; two identities are the same device
// when vendor, product and serial number agree (the by-id link is where it is reached, not who
// it is).
struct PortIdentity {
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString serialNumber;
    // The /dev/serial/by-id link to the device; empty when the system keeps none.
    QString byIdPath;

    bool isKnown() const;
    // "0403:6001 A10K3Q2F" for messages; empty when nothing is known.
    QString text() const;

    // The same vendor, product and serial number (unknown parts are equal only to unknown ones).
    friend bool operator==(const PortIdentity& a, const PortIdentity& b);
};
