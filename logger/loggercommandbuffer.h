#pragma once

#include "metercommand.h"

#include <QByteArray>
#include <QtGlobal>

// The one 6-byte command buffer a logger operation builds all its commands in. Each command
// sets the letter and its parameter bytes in place; the resume command that ends the
// operation changes only the letter, so it carries the parameter bytes the operation's last
// command left behind (the meter expects exactly that).
class LoggerCommandBuffer {
public:
    // 'C': opens a logger exchange; sent first by every logger operation (echoed).
    const MeterCommand& open() { return set('C', 0, 0, 0); }
    // 'P': the meter starts sending its memory image in blocks (echoed).
    const MeterCommand& dump() { return set('P', 0, 0, 0); }
    // 'y' / 'n': the last block was good / bad; 'Q': stop sending blocks (not echoed).
    const MeterCommand& blockAccept() { return set('y', 0, 0, 0); }
    const MeterCommand& blockReject() { return set('n', 0, 0, 0); }
    const MeterCommand& dumpStop() { return set('Q', 0, 0, 0); }
    // 'W': write `value` at memory address `address` (0..65535) (echoed).
    const MeterCommand& memoryWrite(int address, quint8 value) {
        return set('W', quint8(address >> 8), quint8(address), value);
    }
    // 'R': the meter sends the byte at memory address `address` after its echo.
    const MeterCommand& memoryRead(int address) {
        return set('R', quint8(address >> 8), quint8(address), 0);
    }
    // 'E' 45 45 00: erase the logger memory (echoed).
    const MeterCommand& memoryErase() { return set('E', 0x45, 0x45, 0x00); }
    // 'A' with the parameter bytes left by the last command: live readings resume.
    const MeterCommand& resume() {
        m_command.setLetter('A');
        return m_command;
    }

    const MeterCommand& current() const { return m_command; }

private:
    const MeterCommand& set(char letter, quint8 p1, quint8 p2, quint8 p3) {
        m_command.setLetter(letter);
        m_command.setParameters(p1, p2, p3);
        return m_command;
    }

    MeterCommand m_command{'C'};
};
