#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// The device behind a port object: a real serial device or the in-process meter emulator.
// All calls happen on the thread that owns the port object.
class PortBackend {
public:
    struct Failure {
        int code = 0;
        QString text;
    };

    virtual ~PortBackend() = default;

    // The device path; changed only while closed.
    virtual void setPath(const QString& path) = 0;

    // Opens the device with the line settings 9600 8N1, no flow control; on failure fills
    // *failure and leaves the device closed.
    virtual bool open(Failure* failure) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Bytes waiting, including those that arrived while no event loop ran.
    virtual qint64 bytesAvailable() = 0;
    virtual qint64 read(char* data, qint64 count) = 0;
    // Queues the bytes and pushes them towards the line; false when the device refused them.
    virtual bool write(const char* data, qint64 count, Failure* failure) = 0;
    // Waits until what was written before has left (bounded).
    virtual void waitWritten() = 0;
    virtual void clearInput() = 0;

    // Set by the port object: new bytes arrived (called from the event loop).
    std::function<void()> onReadyRead;
    // Set by the port object: the device failed on its own (for example it vanished) and the
    // backend has closed it.
    std::function<void(const Failure&)> onDeviceError;
};
