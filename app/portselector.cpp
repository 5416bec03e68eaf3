#include "portselector.h"

#include "delay.h"
#include "errorboundary.h"
#include "livelink.h"
#include "meterport.h"
#include "serialportlist.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QSignalBlocker>

PortSelector::PortSelector(LiveLink& link, QWidget* parent)
    : QObject(parent), m_link(link), m_box(new QComboBox(parent)) {
    m_box->setObjectName(QStringLiteral("portBox"));
    m_box->setEditable(true);
    m_box->setInsertPolicy(QComboBox::NoInsert);
    m_box->setMinimumWidth(160);
    m_box->setEditText(QStringLiteral("ComPort"));

    // The port changes once the user has settled on a port: an item picked from the list, or
    // a typed name confirmed with Enter or by leaving the box. Never per keystroke: every
    // prefix of a typed path ("/", "/dev/tty", ...) would be opened as the meter's port.
    m_settle.setSingleShot(true);
    m_settle.setInterval(50);
    connect(&m_settle, &QTimer::timeout, this,
            ErrorBoundary::guard([this] { applyPortChange(); }));
    connect(m_box, &QComboBox::activated, this, &PortSelector::onUserChoice);
    connect(m_box->lineEdit(), &QLineEdit::editingFinished, this, &PortSelector::onUserChoice);
    connect(&m_link, &LiveLink::portMoved, this,
            [this](const QString&, const QString& to) { followMovedPort(to); });
}

void PortSelector::fillPortList() {
    QStringList ports;
    MeterPort::enumeratePorts(ports);
    ports << MeterPort::simulatorName();
    m_box->addItems(ports);
    if (ports.size() > 1)
        selectPort(0);
    else
        m_box->setEditText(QStringLiteral("ComPort"));
    m_link.setDeviceName(MeterPort::devicePath(portText()));
}

void PortSelector::searchMeter() {
    m_box->setEnabled(false);
    discoverMeter(m_link, *this);
    m_box->setEnabled(true);
    Q_EMIT portChanged(m_link.deviceName());
}

void PortSelector::choosePort(const QString& text) {
    m_box->setEditText(text);
    onUserChoice();
}

int PortSelector::currentIndex() const {
    return m_box->currentIndex();
}

int PortSelector::indexOfRemembered(const QString& nameOrPath, const PortIdentity& identity) {
    const int byName = indexOfRememberedName(nameOrPath);
    if (!identity.isKnown())
        return byName;
    const QList<SerialPortList::Entry> ports = SerialPortList::entries();
    if (byName >= 0 && SerialPortList::identityAt(MeterPort::devicePath(m_box->itemText(byName)),
                                                  ports) == identity)
        return byName;
    for (const SerialPortList::Entry& entry : ports) {
        if (!(entry.identity == identity))
            continue;
        for (const QString& text : {entry.name, entry.path}) {
            if (const int index = m_box->findText(text); index >= 0)
                return index;
        }
    }
    // The system lists no port with that identity (yet) while its by-id link is there.
    if (!identity.byIdPath.isEmpty() && identity.byIdPath != nameOrPath &&
        QFileInfo::exists(identity.byIdPath))
        return indexOfRememberedName(identity.byIdPath);
    return byName;
}

int PortSelector::indexOfRememberedName(const QString& nameOrPath) {
    if (nameOrPath.isEmpty())
        return -1;
    const int known = m_box->findText(nameOrPath);
    if (known >= 0)
        return known;
    if (!nameOrPath.startsWith(u'/') || !QFileInfo::exists(nameOrPath))
        return -1;
    return addTypedPath(nameOrPath);
}

int PortSelector::addTypedPath(const QString& path) {
    // Before the simulator, which stays last.
    int at = m_box->count();
    if (at > 0 && m_box->itemText(at - 1) == MeterPort::simulatorName())
        --at;
    const QSignalBlocker block(m_box);
    m_box->insertItem(at, path);
    return at;
}

void PortSelector::onUserChoice() {
    // One user action may announce itself more than once (Enter both confirms the text and
    // picks the matching item): the requests of one moment make one change.
    m_settle.start();
}

void PortSelector::followMovedPort(const QString& path) {
    int index = -1;
    for (int i = 0; i < m_box->count() && index < 0; ++i) {
        if (m_box->itemText(i) != MeterPort::simulatorName() &&
            MeterPort::devicePath(m_box->itemText(i)) == path)
            index = i;
    }
    if (index < 0)
        index = addTypedPath(path);
    selectPort(index);
    m_link.setPortIndex(index);
}

void PortSelector::applyPortChange() {
    // A change asked for while one is under way (from its Delay) is made after it, once.
    if (m_switching) {
        m_switchAgain = true;
        return;
    }
    const QString path = MeterPort::devicePath(portText());
    if (path == m_link.deviceName() && m_link.portOpen())
        return;
    // The tick step talks to the port: the change waits until it has finished.
    m_switching = true;
    m_link.whenIdle(this, [this] {
        ErrorBoundary::Run([this] {
            const QScopedValueRollback<bool> busy(m_switching, true);
            do {
                m_switchAgain = false;
                switchPort();
            } while (m_switchAgain);
        });
        m_switching = false;
    });
}

void PortSelector::switchPort() {
    m_link.closePort();
    delay(150);
    m_link.setDeviceName(MeterPort::devicePath(portText())); // the port is closed
    delay(150);
    m_link.openPort();
    // A typed path that opened joins the list, so that its index means this port.
    const QString text = portText();
    if (m_link.portOpen() && text.startsWith(u'/') && m_box->findText(text) < 0)
        selectPort(addTypedPath(text));
    // A port the user has just chosen says why it could not be opened.
    if (!m_link.portOpen() && !m_link.lastOpenFailure().isEmpty())
        Q_EMIT openFailed(m_link.lastOpenFailure());
    Q_EMIT portChanged(m_link.deviceName());
}

void PortSelector::showProgress(const QString& text) {
    Q_EMIT progress(text);
}

int PortSelector::portCount() const {
    return m_box->count();
}

QString PortSelector::portName(int index) const {
    return m_box->itemText(index);
}

void PortSelector::selectPort(int index) {
    const QSignalBlocker block(m_box);
    m_box->setCurrentIndex(index);
}

QString PortSelector::portText() const {
    return m_box->currentText();
}
