#include "delay.h"

#include "meterport.h"
#include "metercommand.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

void delay(unsigned milliseconds) {
    QElapsedTimer clock;
    clock.start();
    // A nested event loop that sleeps until the next event or the end of the wait, so waiting
    // costs no processor time.
    while (quint64(clock.elapsed()) <= milliseconds) {
        const qint64 left = qint64(milliseconds) - clock.elapsed() + 1;
        QEventLoop loop;
        QTimer::singleShot(std::max<qint64>(left, 1), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

bool sendCommand(MeterPort& port, const MeterCommand& command) {
    return sendCommand(port, command, 500);
}

bool sendCommand(MeterPort& port, const MeterCommand& command, unsigned echoWaitMs) {
    const QByteArray sent = command.bytes();
    port.clearInput();
    int attempts = 0;
    bool ok = false;
    QByteArray reply(MeterCommand::Size, '\0');
    while (!ok && attempts < 3) {
        if (port.active())
            port.write(sent);
        delay(echoWaitMs);
        if (port.inputCount() >= MeterCommand::Size) {
            QByteArray got;
            port.read(got, MeterCommand::Size);
            reply.replace(0, got.size(), got);
            ok = reply == sent;
        }
        if (!ok)
            ++attempts;
    }
    return ok;
}
