#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// A serial client the way any program opens a tty: raw, 9600 baud, non-blocking, with plain
// POSIX calls (no Qt serial code), for talking to metersim through its pseudo-terminal.
class PtyClient {
public:
    ~PtyClient() { close(); }

    bool open(const QString& path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        termios tio{};
        if (tcgetattr(m_fd, &tio) != 0)
            return false;
        cfmakeraw(&tio);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        return tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }

    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool send(const QByteArray& bytes) {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads until `count` bytes have come, the time is up or the line is gone (the far side
    // closed: the read ends or fails with EIO; gone() says so afterwards).
    // The limit holds on a loaded two-core machine running the sanitized build: it only ends
    // a wait for bytes that are never coming.
    QByteArray receive(qsizetype count, int timeoutMs = 20000) {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
        QByteArray got;
        while (got.size() < count && !m_gone) {
            const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
            if (left <= 0)
                break;
            pollfd pfd{m_fd, POLLIN, 0};
            if (poll(&pfd, 1, int(left)) <= 0)
                continue;
            char buf[256];
            const ssize_t n =
                ::read(m_fd, buf, size_t(std::min<qsizetype>(count - got.size(), 256)));
            if (n > 0)
                got.append(buf, n);
            else if (n == 0 || errno == EIO)
                m_gone = true;
        }
        return got;
    }

    // Whatever arrives within `ms` (to prove that nothing does).
    QByteArray drain(int ms) { return receive(1 << 20, ms); }

    bool gone() const { return m_gone; }

private:
    int m_fd = -1;
    bool m_gone = false;
};
