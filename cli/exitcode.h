#pragma once

// The exit status of ql350-cli. Scripts tell the outcomes apart by these numbers, so they are
// fixed once given out and listed in --help.
enum class ExitCode : int {
    Ok = 0,
    FileError = 1,      // an output file or folder could not be written
    Usage = 2,          // the command line is wrong
    NoMeter = 3,        // no meter answers (on the given port, or on any port of the search)
    PortRefused = 4,    // the port could not be opened: in use, or no permission
    TransferFailed = 5, // the meter stopped answering, or a command was not echoed
    BadData = 6,        // the logger memory arrived but is damaged
    MeterRefused = 7,   // the meter records on its own, or is a model 120 without a logger
    Interrupted = 8,    // SIGINT or SIGTERM ended a logger operation before it finished
};

inline int ToInt(ExitCode code) {
    return int(code);
}
