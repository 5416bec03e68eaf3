#include "memoryerase.h"

#include "meterport.h"
#include "delay.h"
#include "livelinkcontrol.h"
#include "loggercommandbuffer.h"
#include "loggermessages.h"
#include "loggerporthandover.h"

namespace {
QString eraseMessage(LoggerOutcome outcome) {
    return LoggerMessage(LoggerOperation::EraseMemory, outcome);
}
} // namespace

bool SendMemoryErase(MeterPort& port, LoggerCommandBuffer& commands, const LoggerTiming& timing) {
    // A meter that missed the open command may still take the erase: the erase decides.
    SendCommand(port, commands.Open(), unsigned(timing.echoWaitMs));
    return SendCommand(port, commands.MemoryErase(), unsigned(timing.echoWaitMs));
}

LoggerOutcome RunMemoryErase(LiveLinkControl& live, MeterPort& loggerPort, MemoryEraseUser& user,
                             const LoggerTiming& timing) {
    if (!live.connected() || live.meterRecording()) {
        const LoggerOutcome refused =
            live.connected() ? LoggerOutcome::MeterRecording : LoggerOutcome::NotConnected;
        user.tell(eraseMessage(refused));
        return refused;
    }
    if (LoggerPortHandOver::InUse())
        return LoggerOutcome::DeviceBusy;
    if (!user.confirmErase())
        return LoggerOutcome::Declined;

    LoggerPortHandOver handOver(live, loggerPort, timing);
    if (!handOver.taken() && handOver.failure() == LoggerOutcome::DeviceBusy)
        return LoggerOutcome::DeviceBusy;
    // The resume command carries the erase command's parameter bytes even when the logger port
    // would not open and nothing was sent.
    handOver.commands().MemoryErase();
    LoggerOutcome outcome = LoggerOutcome::NotErased;
    try {
        if (handOver.taken() && SendMemoryErase(loggerPort, handOver.commands(), timing))
            outcome = LoggerOutcome::Erased;
    } catch (const SilentAbort&) {
        return LoggerOutcome::PortLost;
    } catch (const PortError&) {
        return LoggerOutcome::PortLost;
    }
    user.tell(eraseMessage(outcome));
    return outcome;
}
