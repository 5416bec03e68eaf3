#pragma once

#include "loggeroutcome.h"

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
    LimitCrossed = 9,   // live --stop-at-limit: a reading crossed --above or --below
};

inline int toInt(ExitCode code) {
    return int(code);
}

// The exit status for how a logger operation (download, setup or erase) ended.
inline ExitCode exitCodeFor(LoggerOutcome outcome) {
    switch (outcome) {
    case LoggerOutcome::Loaded:
    case LoggerOutcome::NoData:
    case LoggerOutcome::Written:
    case LoggerOutcome::Erased:
        return ExitCode::Ok;
    case LoggerOutcome::TooManySets:
    case LoggerOutcome::BadDataSet:
        return ExitCode::BadData;
    // A stop signal cancels a download; the tool answers the setup's dialog itself.
    case LoggerOutcome::Cancelled:
        return ExitCode::Interrupted;
    case LoggerOutcome::IntervalRefused:
        return ExitCode::Usage;
    case LoggerOutcome::PortNotOpened:
        return ExitCode::PortRefused;
    case LoggerOutcome::NotConnected:
        return ExitCode::NoMeter;
    case LoggerOutcome::MeterRecording:
        return ExitCode::MeterRefused;
    default:
        return ExitCode::TransferFailed;
    }
}
