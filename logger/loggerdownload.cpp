#include "loggerdownload.h"

#include "meterport.h"
#include "delay.h"
#include "loggerblock.h"
#include "loggercommandbuffer.h"
#include "loggerprogress.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

constexpr int kMaxErrors = 20;

// Commands the meter does not echo: written only while the port is open.
void writePlain(MeterPort& port, const MeterCommand& command) {
    if (port.active())
        port.write(command.bytes());
}

int roundUpToBlocks(int bytes) {
    return (bytes + LoggerBlock::DataSize - 1) / LoggerBlock::DataSize * LoggerBlock::DataSize;
}

// Why the block loop ended, when not by the meter falling silent.
enum class Stop { Silence, TooManyErrors, Cancelled, TimedOut, Full };

Stop receiveBlocks(MeterPort& port, LoggerCommandBuffer& commands, LoggerProgress* progress,
                   const LoggerTiming& timing, LoggerDownload& d) {
    QByteArray& image = d.image.bytes();
    QElapsedTimer clock;
    clock.start();
    qint64 lastBlock = clock.elapsed();
    bool headerKnown = false;
    while (clock.elapsed() - lastBlock < timing.silenceMs) {
        Stop stop = Stop::Silence;
        if (d.errors > kMaxErrors)
            stop = Stop::TooManyErrors;
        else if (progress && progress->cancelled())
            stop = Stop::Cancelled;
        else if (clock.elapsed() > timing.transferLimitMs)
            stop = Stop::TimedOut;
        if (stop != Stop::Silence) {
            writePlain(port, commands.dumpStop());
            return stop;
        }

        const int n = port.inputCount();
        if (n >= LoggerBlock::Size) {
            QByteArray block;
            port.read(block, LoggerBlock::Size);
            if (!LoggerBlock::isGood(block)) {
                ++d.errors;
                clearInputWhenQuiet(port, timing);
                writePlain(port, commands.blockReject());
            } else if (image.size() + LoggerBlock::DataSize > LoggerImage::MemorySize) {
                // The whole memory is already here: whatever this is, it is not logger data.
                writePlain(port, commands.dumpStop());
                return Stop::Full;
            } else {
                image += block.left(LoggerBlock::DataSize);
                writePlain(port, commands.blockAccept());
                if (progress)
                    progress->bytesReceived(int(image.size()));
            }
            if (!headerKnown && image.size() >= LoggerBlock::DataSize) {
                const int used = d.image.endAddress() + 1;
                d.expectedTotal = roundUpToBlocks(used);
                headerKnown = true;
                if (progress)
                    progress->totalKnown(d.expectedTotal, used);
            }
            lastBlock = clock.elapsed();
            continue;
        }
        if (n > 0 && clock.elapsed() - lastBlock > timing.partialMs) {
            clearInputWhenQuiet(port, timing);
            ++d.errors;
            writePlain(port, commands.blockReject());
            lastBlock = clock.elapsed();
            continue;
        }
        delay(unsigned(timing.pollMs));
    }
    return Stop::Silence;
}

LoggerOutcome stoppedResult(Stop stop) {
    switch (stop) {
    case Stop::TooManyErrors:
        return LoggerOutcome::TooManyErrors;
    case Stop::Cancelled:
        return LoggerOutcome::Cancelled;
    case Stop::TimedOut:
        return LoggerOutcome::TimedOut;
    case Stop::Silence:
    case Stop::Full:
        break;
    }
    return LoggerOutcome::TooShort;
}

} // namespace

LoggerDownload downloadLoggerMemory(MeterPort& port, LoggerCommandBuffer& commands,
                                    LoggerProgress* progress, double today,
                                    const LoggerTiming& timing) {
    LoggerDownload d;
    try {
        delay(unsigned(timing.settleMs));
        port.clearInput();
        if (!sendCommand(port, commands.open()))
            d.unechoed += u'C';
        delay(unsigned(timing.settleMs));
        port.clearInput();
        if (!sendCommand(port, commands.dump()))
            d.unechoed += u'P';
        if (progress)
            progress->transferStarting();

        const Stop stop = receiveBlocks(port, commands, progress, timing, d);
        d.parse = parseLoggerImage(d.image, today);
        d.result = d.parse.result;
        // A stop the user asked for always counts; a stop for errors or time counts only when
        // it cost data.
        const bool short_ =
            d.result == LoggerOutcome::TooShort || d.result == LoggerOutcome::Incomplete;
        if (stop == Stop::Cancelled || (short_ && stop != Stop::Silence && stop != Stop::Full)) {
            d.result = stoppedResult(stop);
            d.parse = {};
        }
    } catch (const SilentAbort&) {
        d.result = LoggerOutcome::PortLost;
        d.parse = {};
    } catch (const PortError& e) {
        d.result = LoggerOutcome::PortLost;
        d.portError = e.message;
        d.parse = {};
    }
    return d;
}

void clearInputWhenQuiet(MeterPort& port, const LoggerTiming& timing) {
    QElapsedTimer clock;
    clock.start();
    int seen = port.inputCount();
    qint64 lastArrival = 0;
    while (clock.elapsed() - lastArrival < timing.lineQuietMs &&
           clock.elapsed() < timing.partialMs) {
        delay(unsigned(std::max(timing.pollMs, 1)));
        if (const int n = port.inputCount(); n != seen) {
            seen = n;
            lastArrival = clock.elapsed();
        }
    }
    port.clearInput();
}

bool repairLoggerHeader(MeterPort& port, LoggerCommandBuffer& commands, int badSetIndex,
                        int lastGoodAddress) {
    if (badSetIndex < 0 || badSetIndex > LoggerImage::MaxDataSets ||
        lastGoodAddress < LoggerImage::HeaderSize - 1 || lastGoodAddress >= LoggerImage::MemorySize)
        return false;
    const struct {
        int address;
        quint8 value;
    } writes[] = {{9, quint8(badSetIndex >> 8)},
                  {10, quint8(badSetIndex)},
                  {11, quint8(lastGoodAddress >> 8)},
                  {12, quint8(lastGoodAddress)}};
    bool ok = true;
    try {
        // All four are tried even after one failed: a header half written is worse than one
        // written in full with a write that needs repeating.
        for (const auto& w : writes)
            ok = sendCommand(port, commands.memoryWrite(w.address, w.value)) && ok;
    } catch (const SilentAbort&) {
        return false;
    } catch (const PortError&) {
        return false;
    }
    return ok;
}
