#include "serialportlist.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

std::optional<QList<SerialPortList::Entry>>& listOverride() {
    static std::optional<QList<SerialPortList::Entry>> list;
    return list;
}

QString resolved(const QString& path) {
    return path.startsWith(u'/') ? QFileInfo(path).canonicalFilePath() : QString();
}

} // namespace

QList<SerialPortList::Entry> SerialPortList::entries() {
    if (listOverride())
        return *listOverride();
    const QHash<QString, QString> byId = linksByTarget(QStringLiteral("/dev/serial/by-id"));
    QList<Entry> list;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        Entry entry;
        entry.name = info.portName();
        entry.path = info.systemLocation();
        if (info.hasVendorIdentifier())
            entry.identity.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            entry.identity.productId = info.productIdentifier();
        entry.identity.serialNumber = info.serialNumber().trimmed();
        const QString target = resolved(entry.path);
        entry.identity.byIdPath = byId.value(target.isEmpty() ? entry.path : target);
        list += entry;
    }
    std::sort(list.begin(), list.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return list;
}

void SerialPortList::setOverride(std::optional<QList<Entry>> entries) {
    listOverride() = std::move(entries);
}

bool SerialPortList::overridden() {
    return listOverride().has_value();
}

bool SerialPortList::leadsTo(const QString& path, const QString& resolvedPath, const Entry& entry) {
    if (path.isEmpty())
        return false;
    return path == entry.path || path == entry.name ||
           (!entry.identity.byIdPath.isEmpty() && path == entry.identity.byIdPath) ||
           (!resolvedPath.isEmpty() && resolvedPath == entry.path);
}

PortIdentity SerialPortList::identityAt(const QString& path) {
    return identityAt(path, entries());
}

PortIdentity SerialPortList::identityAt(const QString& path, const QList<Entry>& ports) {
    const QString target = resolved(path);
    for (const Entry& entry : ports) {
        if (leadsTo(path, target, entry))
            return entry.identity;
    }
    return {};
}

QString SerialPortList::reopenPath(const QString& lostPath, const PortIdentity& identity,
                                   const QList<Entry>& ports) {
    if (!identity.isKnown())
        return lostPath;
    const QString target = resolved(lostPath);
    const Entry* found = nullptr;
    for (const Entry& entry : ports) {
        if (!(entry.identity == identity))
            continue;
        // Where the old name still leads to the device, the name stays.
        if (leadsTo(lostPath, target, entry))
            return lostPath;
        if (!found)
            found = &entry;
    }
    return found ? found->path : QString();
}

QHash<QString, QString> SerialPortList::linksByTarget(const QString& directory) {
    QHash<QString, QString> links;
    const QDir dir(directory);
    const QFileInfoList found =
        dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : found) {
        if (!link.isSymLink())
            continue;
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !links.contains(target))
            links.insert(target, link.absoluteFilePath());
    }
    return links;
}
