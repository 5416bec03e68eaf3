#pragma once

#include "loggertiming.h"

#include <QByteArray>

class Clock;
class LoggerCommandBuffer;
class MeterPort;

// Reads the first block of the memory image for the operations that need only its header (the
// setup and the factory check), after the dump command 'P' was echoed on `port`.
//
// A block with a good checksum is kept and answered 'Q', so the meter stops after it; a bad
// one is answered 'n' and dropped (the meter sends it again); bytes of a partial block that
// stall for `partialMs` are discarded and answered 'n'. Before each 'n' the input is dropped
// once the line is quiet (clearInputWhenQuiet). A meter that sent another block before
// it took the 'Q' has that one kept and answered 'Q' as well. The read ends once no block came
// for `silenceMs`, and at `headerLimitMs` whatever the meter sends (there is no error count:
// a meter that only ever sends bad blocks must not hold the program forever).
//
// Returns the data bytes of the good blocks in order, 64 a block; fewer than 64 means no
// header arrived. Times come from `clock`'s monotonic count. Port faults are thrown as the port
// throws them (SilentAbort, PortError). Waits service events (Delay).
QByteArray readLoggerHeaderBlocks(MeterPort& port, LoggerCommandBuffer& commands, const Clock& clock,
                                  const LoggerTiming& timing = {});
