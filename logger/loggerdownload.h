#pragma once

#include "loggerimage.h"
#include "loggeroutcome.h"
#include "loggerparse.h"
#include "loggertiming.h"

#include <QString>

class LoggerCommandBuffer;
class LoggerProgress;
class MeterPort;

// What one download of the logger memory brought.
struct LoggerDownload {
    LoggerOutcome result = LoggerOutcome::TooShort;
    // The image as it arrived (only blocks with a good checksum, in order, without gaps).
    LoggerImage image;
    // The data sets; sets is filled only when Result is Loaded, the bad set's index and the
    // last good address only for BadDataSet.
    LoggerParse parse;
    // The expected total (used bytes rounded up to whole blocks), 0 until the header arrived.
    int expectedTotal = 0;
    // Blocks rejected (bad checksum, or a partial block that stalled).
    int errors = 0;
    // For PortLost: the port's error text when it gave one.
    QString portError;
    // The letters of the open and dump commands ("C", "P") the meter did not echo.
    QString unechoed;
};

// Reads the whole logger memory over `port` (the logger port, open on the meter's device; see
// LoggerPortHandOver) and parses it.
//
// The exchange: clear the input, 'C' and 'P' with echo (a meter that does not answer shows up
// as an empty transfer, TooShort), then blocks of 65 bytes. Each block is answered 'y' when
// its checksum is right, 'n' when not (the meter sends it again); bytes of a partial block that
// stalls for `partialMs` are discarded and answered 'n'. Before every 'n' the line is left to
// fall quiet and its input dropped (clearInputWhenQuiet), so that the resend starts a block
// again: a stray byte on the line costs one resend, not every block after it. The transfer ends when the meter has
// been silent for `silenceMs` after its last block, and stops the meter with 'Q' when more
// than 20 blocks were rejected, when the user cancels, when the overall limit runs out, or
// when the meter sends more than the memory holds. A transfer stopped that way still counts as
// loaded when all the used memory had arrived; otherwise it reports why it stopped.
//
// `port` must have no receive handler that reads from it: the transfer polls the port itself.
// Never throws: a port fault (SilentAbort or PortError from the port) ends it with PortLost. Waits
// service events (Delay), so the caller must keep other logger and live work from starting
// meanwhile (LoggerPortHandOver does). `today` (days since 30 Dec 1899) stands in for an
// impossible start time in the header; `progress` may be nullptr.
LoggerDownload downloadLoggerMemory(MeterPort& port, LoggerCommandBuffer& commands,
                                    LoggerProgress* progress, double today,
                                    const LoggerTiming& timing = {});

// Waits until no byte has arrived on `port` for `lineQuietMs` (at most `partialMs` in all, for
// a line that never falls quiet) and drops its input. Used after a damaged or partial block:
// what is still on the line then is the rest of that block or noise, never the start of the
// block that the next 'n' asks for.
void clearInputWhenQuiet(MeterPort& port, const LoggerTiming& timing);

// Makes the meter's header agree with the good part of a damaged memory: dataSetCount :=
// `badSetIndex` (bytes 9, 10) and endAddress := `lastGoodAddress` (bytes 11, 12), four echoed
// memory writes over `port`. The data from the bad set on is given up. Returns true only when
// the meter echoed all four; false for values no parse can give (index above 4000, address
// outside the memory behind the header) without sending anything, and on a port fault.
bool repairLoggerHeader(MeterPort& port, LoggerCommandBuffer& commands, int badSetIndex,
                        int lastGoodAddress);
