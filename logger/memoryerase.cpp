#include "memoryerase.h"

#include "meterport.h"
#include "delay.h"
#include "livelinkcontrol.h"
#include "loggercommandbuffer.h"
#include "loggermessages.h"
#include "loggerporthandover.h"

QString MemoryEraseMessage(MemoryEraseOutcome outcome) {
    switch (outcome) {
    case MemoryEraseOutcome::Erased:
        return QStringLiteral("Memory erase successfully !");
    case MemoryEraseOutcome::NotErased:
        return QStringLiteral("Fail to erase memory !");
    case MemoryEraseOutcome::NotConnected:
        return LoggerMessages::NoConnection;
    case MemoryEraseOutcome::MeterRecording:
        return QStringLiteral(
            "The meter is recording data, please stop recording before erasing memory.");
    case MemoryEraseOutcome::Declined:
    case MemoryEraseOutcome::PortLost:
    case MemoryEraseOutcome::DeviceBusy:
        break;
    }
    return QString();
}

bool SendMemoryErase(MeterPort& port, LoggerCommandBuffer& commands, const LoggerTiming& timing) {
    // A meter that missed the open command may still take the erase: the erase decides.
    SendCommand(port, commands.Open(), unsigned(timing.echoWaitMs));
    return SendCommand(port, commands.MemoryErase(), unsigned(timing.echoWaitMs));
}

MemoryEraseOutcome RunMemoryErase(LiveLinkControl& live, MeterPort& loggerPort,
                                  MemoryEraseUser& user, const LoggerTiming& timing) {
    if (!live.connected() || live.meterRecording()) {
        const MemoryEraseOutcome refused = live.connected() ? MemoryEraseOutcome::MeterRecording
                                                            : MemoryEraseOutcome::NotConnected;
        user.tell(MemoryEraseMessage(refused));
        return refused;
    }
    if (LoggerPortHandOver::InUse())
        return MemoryEraseOutcome::DeviceBusy;
    if (!user.confirmErase())
        return MemoryEraseOutcome::Declined;

    LoggerPortHandOver handOver(live, loggerPort, timing);
    if (!handOver.taken() && handOver.failure() == DownloadResult::DeviceBusy)
        return MemoryEraseOutcome::DeviceBusy;
    // The resume command carries the erase command's parameter bytes even when the logger port
    // would not open and nothing was sent.
    handOver.commands().MemoryErase();
    MemoryEraseOutcome outcome = MemoryEraseOutcome::NotErased;
    try {
        if (handOver.taken() && SendMemoryErase(loggerPort, handOver.commands(), timing))
            outcome = MemoryEraseOutcome::Erased;
    } catch (const SilentAbort&) {
        return MemoryEraseOutcome::PortLost;
    } catch (const PortError&) {
        return MemoryEraseOutcome::PortLost;
    }
    user.tell(MemoryEraseMessage(outcome));
    return outcome;
}
