#pragma once

#include "meterport.h"
#include "portbackend.h"

#include "metercommand.h"

#include <QByteArray>
#include <QList>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

// A scripted serial device for tests: the test pushes bytes the "meter" sends and reads back
// what the program wrote. It can echo commands like the meter does.
class FakeDevice {
public:
    QByteArray input;         // waiting to be read by the program
    QList<QByteArray> writes; // each Write of the program
    bool open = false;
    bool failOpen = false;
    int failCode = 13; // EACCES: refused
    bool echo = false; // answer every write with the same bytes
    int opens = 0;
    std::function<void()> notify; // set by the backend: delivers a receive notification
    // Set by the backend: the device fails on its own (unplugged); the backend closes it and
    // tells the port object, as a real device does.
    std::function<void()> lose;
    const void* backend = nullptr; // the backend that set notify and lose
    std::function<void(const QByteArray&)> onWrite; // the "meter" reacting to a command
    // Runs inside the program's wait for its previous write to leave (a real device may
    // announce received bytes from there).
    std::function<void()> onWaitWritten;

    // The meter sends bytes; with `notifyNow` the program is told at once.
    void send(const QByteArray& bytes, bool notifyNow = true) {
        input += bytes;
        if (notifyNow && notify)
            notify();
    }
    // The device vanishes under the open port (an adapter unplugged).
    void vanish() {
        if (lose)
            lose();
    }
    QByteArray written() const {
        QByteArray all;
        for (const auto& w : writes)
            all += w;
        return all;
    }
};

class FakeBackend : public PortBackend {
public:
    explicit FakeBackend(std::shared_ptr<FakeDevice> device) : m_device(std::move(device)) {
        m_device->backend = this;
        m_device->notify = [this] {
            if (m_device->open && onReadyRead)
                onReadyRead();
        };
        m_device->lose = [this] {
            if (!m_device->open)
                return;
            m_device->open = false;
            if (onDeviceError)
                onDeviceError({5, QStringLiteral("Input/output error")});
        };
    }
    ~FakeBackend() override {
        // A port object keeps its previous backend a while: the device may have a newer one.
        if (m_device->backend != this)
            return;
        m_device->backend = nullptr;
        m_device->notify = nullptr;
        m_device->lose = nullptr;
    }
    void setPath(const QString&) override {}
    bool open(Failure* failure) override {
        ++m_device->opens;
        if (m_device->failOpen) {
            failure->code = m_device->failCode;
            failure->text = m_device->failCode == 13 ? QStringLiteral("Permission denied")
                                                     : QStringLiteral("No such device");
            return false;
        }
        m_device->open = true;
        return true;
    }
    void close() override { m_device->open = false; }
    bool isOpen() const override { return m_device->open; }
    qint64 bytesAvailable() override { return m_device->input.size(); }
    qint64 read(char* data, qint64 count) override {
        const qint64 n = qMin<qint64>(count, m_device->input.size());
        std::copy_n(m_device->input.constData(), n, data);
        m_device->input.remove(0, n);
        return n;
    }
    bool write(const char* data, qint64 count, Failure*) override {
        m_device->writes += QByteArray(data, count);
        if (m_device->onWrite)
            m_device->onWrite(QByteArray(data, count));
        if (m_device->echo)
            m_device->input += QByteArray(data, count);
        return true;
    }
    void waitWritten() override {
        if (m_device->onWaitWritten)
            m_device->onWaitWritten();
    }
    void clearInput() override { m_device->input.clear(); }

private:
    std::shared_ptr<FakeDevice> m_device;
};

// Makes `device` answer like a meter: K with its model (122), and every A or Y with the next
// frame (1.234 V) a moment later, as the meter paces its stream. The frames stop while the
// device is closed; `context` ends the pending ones.
inline void PlayMeter(const std::shared_ptr<FakeDevice>& device, QObject* context) {
    std::weak_ptr<FakeDevice> weak = device;
    device->onWrite = [weak, context](const QByteArray& bytes) {
        auto d = weak.lock();
        if (!d)
            return;
        if (bytes == CmdK.bytes()) {
            d->send("122\r");
        } else if (bytes == CmdA.bytes() || bytes == CmdY.bytes()) {
            QTimer::singleShot(5, context, [weak] {
                if (auto next = weak.lock(); next && next->open)
                    next->send("11234;002\r\n");
            });
        }
    };
}

// Installs a fake device behind every port opened while it lives.
class FakeDeviceScope {
public:
    FakeDeviceScope() : device(std::make_shared<FakeDevice>()) {
        auto d = device;
        MeterPort::setBackendFactory(
            [d](const QString&) { return std::make_unique<FakeBackend>(d); });
    }
    ~FakeDeviceScope() { MeterPort::setBackendFactory({}); }
    std::shared_ptr<FakeDevice> device;
};

// Several fake devices by path; opening any other path fails as a missing device would.
class FakePortsScope {
public:
    FakePortsScope() {
        MeterPort::setBackendFactory([this](const QString& path) -> std::unique_ptr<PortBackend> {
            auto it = devices.find(path);
            if (it == devices.end()) {
                auto missing = std::make_shared<FakeDevice>();
                missing->failOpen = true;
                missing->failCode = 2; // ENOENT
                return std::make_unique<FakeBackend>(missing);
            }
            return std::make_unique<FakeBackend>(it->second);
        });
    }
    ~FakePortsScope() { MeterPort::setBackendFactory({}); }
    std::shared_ptr<FakeDevice> add(const QString& path) {
        auto d = std::make_shared<FakeDevice>();
        devices[path] = d;
        return d;
    }
    std::map<QString, std::shared_ptr<FakeDevice>> devices;
};
