#include "serialbackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <csignal>
#include <poll.h>
#include <sys/stat.h>
#endif

#include <cerrno>
#include <cstring>

SerialBackend::SerialBackend(const QString& path) : m_path(path) {
    m_port.setPortName(path);
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] { onReadyReadSignal(); });
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError e) { onErrorSignal(e); });
}

SerialBackend::~SerialBackend() {
    onReadyRead = nullptr;
    onDeviceError = nullptr;
    if (m_port.isOpen())
        m_port.close();
}

qint64 SerialBackend::lockHolder(const QString& path) {
#ifdef Q_OS_UNIX
    // The lock file is named after the device below /dev ("/dev/ttyUSB0" -> LCK..ttyUSB0,
    // "/dev/pts/3" -> LCK..pts_3), and other paths after the whole path.
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(u'/', u'_');
    name.prepend(QLatin1String("LCK.."));
    const QStringList directories = {
        QStringLiteral("/var/lock"),
        QStringLiteral("/run/lock"),
        QStringLiteral("/etc/locks"),
        QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),
        QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"),
        QDir::tempPath(),
    };
    for (const QString& directory : directories) {
        QFile lock(directory + u'/' + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        // The first line is the holder's process id, as text (Qt writes it plain, UUCP-style
        // programs right-aligned in ten characters).
        bool ok = false;
        const qint64 pid = lock.readLine(64).trimmed().toLongLong(&ok);
        if (!ok || pid <= 0 || pid == QCoreApplication::applicationPid())
            continue;
        // A lock left behind by a process that is gone holds nothing (QSerialPort removes it
        // on the next open). EPERM: the process exists but belongs to another user.
        if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
            return pid;
    }
#else
    Q_UNUSED(path)
#endif
    return 0;
}

QString SerialBackend::describeOpenFailure(QSerialPort::SerialPortError error, const QString& path,
                                           const QString& systemText, bool busy, qint64 holderPid) {
    if (busy)
        return holderPid > 0 ? QStringLiteral("%1 is in use by another program (pid %2)")
                                   .arg(path)
                                   .arg(holderPid)
                             : QStringLiteral("%1 is in use by another program").arg(path);
    switch (error) {
    case QSerialPort::PermissionError:
#ifdef Q_OS_LINUX
        return QStringLiteral("No permission to open %1: add your user to the 'dialout' group "
                              "(or 'uucp' on some systems) and log in again")
            .arg(path);
#else
        return QStringLiteral("%1 is in use by another program or access is denied").arg(path);
#endif
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1: No such device").arg(path);
    default:
        return systemText.isEmpty() ? QStringLiteral("%1 cannot be opened").arg(path) : systemText;
    }
}

void SerialBackend::setPath(const QString& path) {
    m_path = path;
    m_port.setPortName(path);
}

bool SerialBackend::open(Failure* failure) {
    m_port.clearError();
    // A typed path that names nothing, or something other than a terminal device, is told
    // apart before QSerialPort gives its less helpful reasons.
#ifdef Q_OS_UNIX
    const QString path = m_port.portName();
    if (path.startsWith(u'/')) {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
            if (failure)
                *failure = {ENOENT, QStringLiteral("%1: No such device").arg(path)};
            return false;
        }
        if (!S_ISCHR(info.st_mode)) {
            if (failure)
                *failure = {ENOTTY, QStringLiteral("%1: Not a serial port").arg(path)};
            return false;
        }
    }
#endif
    if (!m_port.open(QIODevice::ReadWrite)) {
        if (failure) {
            // QSerialPort keeps the errno of the failed open in its error text; keep the code
            // of the most useful kinds.
            const auto error = m_port.error();
            const QString systemText = m_port.errorString();
            // Qt reports a port held by another program as a permission error too: the
            // holder's lock file (Qt's own text says the lock failed), or a device opened for
            // exclusive use (EBUSY), tell it apart.
            qint64 holder = 0;
            bool busy = false;
            if (error == QSerialPort::PermissionError) {
                holder = lockHolder(m_path);
                busy = holder > 0 || systemText == qt_error_string(EBUSY) ||
                       systemText ==
                           QCoreApplication::translate("QSerialPort",
                                                       "Permission error while locking the device");
            }
            failure->code = busy                                        ? EBUSY
                            : error == QSerialPort::PermissionError     ? EACCES
                            : error == QSerialPort::DeviceNotFoundError ? ENOENT
                                                                        : 0;
            failure->text = describeOpenFailure(error, m_path, systemText, busy, holder);
        }
        m_port.clearError();
        return false;
    }
    // Line settings; DTR/RTS are left alone (they fail on pseudo-terminals and are not needed).
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.clear(QSerialPort::AllDirections);
    m_port.clearError();
    m_readErrorsInARow = 0;
    return true;
}

void SerialBackend::close() {
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool SerialBackend::isOpen() const {
    return m_port.isOpen();
}

qint64 SerialBackend::bytesAvailable() {
    if (!m_port.isOpen())
        return 0;
    // Bytes that reached the driver while no event loop ran are only in QSerialPort's buffer
    // after a read notification; a zero wait pulls them in. It may announce them at once and
    // reports a harmless timeout when nothing was pending; the port object holds such an
    // announcement back until the event loop runs again.
    m_port.waitForReadyRead(0);
    if (m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
    if (!m_port.isOpen())
        return 0;
    return m_port.bytesAvailable();
}

qint64 SerialBackend::read(char* data, qint64 count) {
    if (!m_port.isOpen())
        return 0;
    return m_port.read(data, count);
}

bool SerialBackend::write(const char* data, qint64 count, Failure* failure) {
    if (!m_port.isOpen())
        return false;
    const qint64 written = m_port.write(data, count);
    if (written != count) {
        if (failure) {
            failure->code = 0;
            failure->text = m_port.errorString();
        }
        return false;
    }
    // Qt only queues; put the bytes on the line now.
    m_port.flush();
    return true;
}

void SerialBackend::waitWritten() {
    if (m_port.isOpen() && m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(1000);
}

void SerialBackend::clearInput() {
    if (!m_port.isOpen())
        return;
    // Drop what QSerialPort has buffered and what the driver holds.
    m_port.waitForReadyRead(0);
    m_port.readAll();
    m_port.clear(QSerialPort::Input);
    m_port.clearError();
}

void SerialBackend::onReadyReadSignal() {
    m_readErrorsInARow = 0;
    if (onReadyRead)
        onReadyRead();
}

void SerialBackend::onErrorSignal(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError: // from the zero-wait pull: nothing was pending
        return;
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
        // A read notification whose bytes were already taken (by the zero-wait pull, or by a
        // nested event loop after the outer one had seen them arrive) reads nothing, and
        // QSerialPort names that after whatever errno an earlier call left behind: a read
        // error, or a resource error when that was EAGAIN, EIO or EBADF, and then it also
        // stops read notifications. So errno tells nothing here; the device itself does.
        // Only a device that has gone, or errors that keep coming with no byte between
        // them, mean that it failed.
        if (!deviceStillThere()) {
            closeAsFailed(QStringLiteral("the device has gone (unplugged, or its other end "
                                         "closed)"));
        } else if (++m_readErrorsInARow >= kReadErrorLimit) {
            closeAsFailed(QStringLiteral("the device keeps signalling data that never comes"));
        } else {
            m_port.clearError();
            if (error == QSerialPort::ResourceError)
                m_port.setReadBufferSize(m_port.readBufferSize()); // notifications back on
        }
        return;
    case QSerialPort::WriteError:
        // A failed write sets errno itself: its text is the reason.
        closeAsFailed(m_port.errorString());
        return;
    default:
        // Errors of an operation in progress are reported by that operation.
        return;
    }
}

void SerialBackend::closeAsFailed(const QString& reason) {
    // QSerialPort would report a failed device again and again: close on the first report.
    const bool wasOpen = m_port.isOpen();
    if (wasOpen)
        m_port.close();
    m_port.clearError();
    if (wasOpen && onDeviceError)
        onDeviceError({EIO, reason});
}

bool SerialBackend::deviceStillThere() const {
    // The path as given: QSerialPort's own name for a device below /dev is relative.
    if (!m_port.isOpen() || !QFile::exists(m_path))
        return false;
#ifdef Q_OS_UNIX
    // A hung-up line (the far side of a pseudo-terminal closed, an adapter unplugged) or a
    // descriptor that is no longer valid shows in a zero-wait poll.
    pollfd device{int(m_port.handle()), POLLIN, 0};
    int ready = -1;
    do
        ready = ::poll(&device, 1, 0);
    while (ready < 0 && errno == EINTR);
    return ready >= 0 && (device.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
#else
    return true;
#endif
}
