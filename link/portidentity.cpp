#include "portidentity.h"

#include <QStringList>

bool PortIdentity::isKnown() const {
    return vendorId && productId && !serialNumber.isEmpty();
}

QString PortIdentity::text() const {
    QStringList parts;
    const auto hex = [](std::optional<quint16> id) {
        return id ? QStringLiteral("%1").arg(*id, 4, 16, QLatin1Char('0')) : QStringLiteral("?");
    };
    if (vendorId || productId)
        parts += hex(vendorId) + u':' + hex(productId);
    if (!serialNumber.isEmpty())
        parts += serialNumber;
    return parts.join(u' ');
}

bool operator==(const PortIdentity& a, const PortIdentity& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId &&
           a.serialNumber == b.serialNumber;
}
