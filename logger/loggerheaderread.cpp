#include "loggerheaderread.h"

#include "clock.h"
#include "meterport.h"
#include "delay.h"
#include "loggerblock.h"
#include "loggercommandbuffer.h"
#include "loggerdownload.h"

namespace {

// Answers to blocks are not echoed: written only while the port is open.
void writePlain(MeterPort& port, const MeterCommand& command) {
    if (port.active())
        port.write(command.bytes());
}

} // namespace

QByteArray readLoggerHeaderBlocks(MeterPort& port, LoggerCommandBuffer& commands, const Clock& clock,
                                  const LoggerTiming& timing) {
    QByteArray image;
    const qint64 start = clock.monotonicMs();
    qint64 lastBlock = start;
    for (;;) {
        const qint64 now = clock.monotonicMs();
        if (now - lastBlock >= timing.silenceMs || now - start >= timing.headerLimitMs)
            break;
        const int n = port.inputCount();
        if (n >= LoggerBlock::Size) {
            QByteArray block;
            port.read(block, LoggerBlock::Size);
            if (LoggerBlock::isGood(block)) {
                image += block.left(LoggerBlock::DataSize);
                writePlain(port, commands.dumpStop());
            } else {
                clearInputWhenQuiet(port, timing);
                writePlain(port, commands.blockReject());
            }
            lastBlock = clock.monotonicMs();
            continue;
        }
        if (n > 0 && now - lastBlock > timing.partialMs) {
            clearInputWhenQuiet(port, timing);
            writePlain(port, commands.blockReject());
            lastBlock = clock.monotonicMs();
            continue;
        }
        delay(unsigned(timing.pollMs));
    }
    return image;
}
