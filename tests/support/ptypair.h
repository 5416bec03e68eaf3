#pragma once

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal whose far end the test plays itself: the program opens path() as its
// serial port, the test writes what the meter sends and reads what the program wrote. Raw
// mode, so bytes pass unchanged in both directions.
class PtyPair {
public:
    PtyPair() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        const char* name = ::ptsname(m_master);
        if (!name)
            return;
        m_path = QString::fromLocal8Bit(name);
        // Keep the slave side open once, so that its settings (raw) stick before the program
        // opens it.
        m_slave = ::open(name, O_RDWR | O_NOCTTY);
        termios t{};
        if (m_slave >= 0 && ::tcgetattr(m_slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_slave, TCSANOW, &t);
        }
    }
    ~PtyPair() {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0 && !m_path.isEmpty(); }
    QString path() const { return m_path; }

    // The meter sends.
    bool send(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    // What the program wrote, waiting at most `waitMs` for the first byte.
    QByteArray receive(int waitMs) {
        QByteArray got;
        pollfd p{m_master, POLLIN, 0};
        while (::poll(&p, 1, got.isEmpty() ? waitMs : 0) > 0 && (p.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};
