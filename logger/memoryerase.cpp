#include "memoryerase.h"

#include "clock.h"
#include "meterport.h"
#include "delay.h"
#include "livelinkcontrol.h"
#include "loggercommandbuffer.h"
#include "loggerblock.h"
#include "loggerheaderread.h"
#include "loggerimage.h"
#include "loggermessages.h"
#include "loggerporthandover.h"

namespace {
QString eraseMessage(LoggerOutcome outcome) {
    return loggerMessage(LoggerOperation::EraseMemory, outcome);
}

// The first block of the memory (its header), or nothing when the meter did not start the dump
// or send a good block. As for the erase itself, the open command's echo is not needed.
LoggerImage readHeader(MeterPort& port, LoggerCommandBuffer& commands, const LoggerTiming& timing) {
    const Clock clock;
    sendCommand(port, commands.open(), unsigned(timing.echoWaitMs));
    if (!sendCommand(port, commands.dump(), unsigned(timing.echoWaitMs)))
        return LoggerImage();
    return LoggerImage(readLoggerHeaderBlocks(port, commands, clock, timing));
}
} // namespace

bool sendMemoryErase(MeterPort& port, LoggerCommandBuffer& commands, const LoggerTiming& timing,
                     LoggerStep* step) {
    if (step)
        *step = LoggerStep::BeforeErase;
    // A meter that missed the open command may still take the erase: the erase decides.
    sendCommand(port, commands.open(), unsigned(timing.echoWaitMs));
    // From the first byte of the erase command on, the meter may have erased.
    if (step)
        *step = LoggerStep::Erasing;
    return sendCommand(port, commands.memoryErase(), unsigned(timing.echoWaitMs));
}

LoggerOutcome runMemoryErase(LiveLinkControl& live, MeterPort& loggerPort, MemoryEraseUser& user,
                             const LoggerTiming& timing) {
    if (!live.connected() || live.meterRecording()) {
        const LoggerOutcome refused =
            live.connected() ? LoggerOutcome::MeterRecording : LoggerOutcome::NotConnected;
        user.tell(eraseMessage(refused));
        return refused;
    }
    if (LoggerPortHandOver::inUse())
        return LoggerOutcome::DeviceBusy;

    LoggerPortHandOver handOver(live, loggerPort, timing);
    if (!handOver.taken() && handOver.failure() == LoggerOutcome::DeviceBusy)
        return LoggerOutcome::DeviceBusy;
    LoggerCommandBuffer& commands = handOver.commands();
    LoggerOutcome outcome = LoggerOutcome::NotErased;
    LoggerStep step = LoggerStep::ReadingHeader;
    try {
        if (handOver.taken()) {
            const LoggerImage header = readHeader(loggerPort, commands, timing);
            const bool held = header.holds(0, LoggerBlock::DataSize);
            if (!user.confirmErase(held ? &header : nullptr))
                return LoggerOutcome::Declined;
            // The resume command carries the erase command's parameter bytes.
            commands.memoryErase();
            if (sendMemoryErase(loggerPort, commands, timing, &step))
                outcome = LoggerOutcome::Erased;
        } else {
            commands.memoryErase();
        }
    } catch (const SilentAbort&) {
        user.tell(portLostMessage(step));
        return LoggerOutcome::PortLost;
    } catch (const PortError&) {
        user.tell(portLostMessage(step));
        return LoggerOutcome::PortLost;
    }
    user.tell(eraseMessage(outcome));
    return outcome;
}
