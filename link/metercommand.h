#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// A meter command: 0x02, a command letter, three parameter bytes, 0x03.
class MeterCommand {
public:
    explicit constexpr MeterCommand(char letter, std::uint8_t p1 = 0, std::uint8_t p2 = 0,
                                    std::uint8_t p3 = 0)
        : m_bytes{0x02, std::uint8_t(letter), p1, p2, p3, 0x03} {}

    QByteArray bytes() const {
        return QByteArray(reinterpret_cast<const char*>(m_bytes.data()), int(m_bytes.size()));
    }
    char letter() const { return char(m_bytes[1]); }
    void setLetter(char letter) { m_bytes[1] = std::uint8_t(letter); }
    void setParameters(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3) {
        m_bytes[2] = p1;
        m_bytes[3] = p2;
        m_bytes[4] = p3;
    }

    static constexpr int Size = 6;

private:
    std::array<std::uint8_t, Size> m_bytes;
};

// Call and identify; start live data; acknowledge a live frame.
inline constexpr MeterCommand CmdK{'K'};
inline constexpr MeterCommand CmdA{'A'};
inline constexpr MeterCommand CmdY{'Y'};
