#pragma once

// The waits and limits of the logger operations, in milliseconds on the monotonic clock.
// Tests shorten them; the program uses the defaults, which suit the meter at 9600 baud.
struct LoggerTiming {
    int settleMs = 300;    // after closing or opening a port, and after the open command
    int quietMs = 2000;    // the pause, without servicing events, before the live port closes
    int idleWaitMs = 5000; // limit of each wait for a live step to finish
    int silenceMs = 3000;  // a transfer ends when no block came for this long
    int partialMs = 1500;  // a partial block older than this is discarded and asked again
    int lineQuietMs = 10;  // after a bad or partial block: the line counts as quiet (and its
                           // leftovers are dropped) once no byte came for this long (~10 bytes)
    int transferLimitMs = 300000; // limit of one whole transfer (a full memory takes ~70 s)
    int pollMs = 2;               // pause between looks at the port
    int echoWaitMs = 500;         // wait for the echo of each try of an echoed command
    int headerLimitMs = 30000;    // limit of a read of the header blocks alone
};
