#pragma once

#include "portbackend.h"

#include <QSerialPort>

// A real serial device (or a pseudo-terminal) through QSerialPort.
class SerialBackend : public PortBackend {
public:
    explicit SerialBackend(const QString& path);
    ~SerialBackend() override;

    void setPath(const QString& path) override;
    bool open(Failure* failure) override;
    void close() override;
    bool isOpen() const override;
    qint64 bytesAvailable() override;
    qint64 read(char* data, qint64 count) override;
    bool write(const char* data, qint64 count, Failure* failure) override;
    void waitWritten() override;
    void clearInput() override;

    // Explains a failed open in words a user can act on (missing permission, port busy).
    static QString describeOpenFailure(QSerialPort::SerialPortError error, const QString& path,
                                       const QString& systemText);

private:
    void onReadyReadSignal();
    void onErrorSignal(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    // Read errors since the last byte arrived (see onErrorSignal).
    int m_readErrorsInARow = 0;
    static constexpr int kReadErrorLimit = 20;
};
