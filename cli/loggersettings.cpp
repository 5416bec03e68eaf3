#include "loggersettings.h"

#include "comerror.h"
#include "comport.h"
#include "delay.h"
#include "loggercommandbuffer.h"

#include <QList>
#include <QPair>

LoggerSetupResult WriteLoggerSettings(TComPort& port, LoggerCommandBuffer& commands,
                                      std::optional<quint32> interval,
                                      std::optional<QDateTime> timeLabel) {
    QList<QPair<int, quint8>> writes;
    if (interval) {
        writes += {13, quint8(*interval >> 16)};
        writes += {14, quint8(*interval >> 8)};
        writes += {15, quint8(*interval)};
    }
    if (timeLabel) {
        const QDate d = timeLabel->date();
        const QTime t = timeLabel->time();
        writes += {2, quint8(d.year() / 100)};
        writes += {3, quint8(d.year() % 100)};
        writes += {4, quint8(d.month())};
        writes += {5, quint8(d.day())};
        writes += {6, quint8(t.hour())};
        writes += {7, quint8(t.minute())};
        writes += {8, quint8(t.second())};
    }
    try {
        if (!SendCommand(port, commands.Open()))
            return LoggerSetupResult::NotOpened;
        bool confirmed = true;
        for (const auto& [address, value] : writes)
            confirmed = SendCommand(port, commands.MemoryWrite(address, value)) && confirmed;
        return confirmed ? LoggerSetupResult::Written : LoggerSetupResult::NotConfirmed;
    } catch (const EAbort&) {
        return LoggerSetupResult::PortLost;
    } catch (const EComError&) {
        return LoggerSetupResult::PortLost;
    }
}

bool EraseLoggerMemory(TComPort& port, LoggerCommandBuffer& commands) {
    try {
        // A meter that misses the open command may still take the erase: its echo decides.
        SendCommand(port, commands.Open());
        return SendCommand(port, commands.MemoryErase());
    } catch (const EAbort&) {
        return false;
    } catch (const EComError&) {
        return false;
    }
}
