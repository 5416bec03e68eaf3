#pragma once

#include <QByteArray>
#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

// Shared by the fuzz targets: the input read as a sequence of small decisions and byte chunks,
// and the one application object that queued calls and timers need.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    // The next byte; 0 once the input is used up.
    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // Up to `count` next bytes (fewer at the end of the input).
    QByteArray bytes(std::size_t count) {
        const std::size_t n = count < m_size - m_pos ? count : m_size - m_pos;
        QByteArray out(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return out;
    }
    QByteArray rest() { return bytes(m_size - m_pos); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Creates the application object once per process (QTimer and queued calls need one).
inline void ensureFuzzApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}
