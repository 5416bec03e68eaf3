#pragma once

// How a logger operation ended: Load Data, Setup, Erase Memory or the factory check. One type
// for all of them, so that the ways the hand-over of the meter's device can fail are named
// once, and the program's messages and the command line's exit codes each come from one table.
enum class LoggerOutcome {
    // Load Data: the meter's classic outcomes of a download (their numbers are kept).
    TooShort = 1,    // fewer than 256 bytes arrived (usually: the meter did not answer)
    Incomplete = 3,  // fewer bytes arrived than the header's end address asks for
    TooManySets = 4, // the header counts more than 4000 data sets
    BadDataSet = 5,  // a data set failed its marker or length check
    NoData = 6,      // the header counts no data set
    Loaded = 10,     // every data set is good

    // Load Data: the ways a transfer can stop short that the user should hear about in their
    // own words instead of "too short".
    Cancelled = 20,     // the user cancelled (a download: the meter was told to stop; the setup
                        // dialog: nothing was written)
    TooManyErrors = 21, // more than 20 blocks were rejected; the meter was told to stop
    TimedOut = 22,      // the transfer ran past its overall time limit; the meter was told to stop

    // Every operation: the hand-over of the device from the live link.
    PortLost = 23,       // the logger port failed or vanished during the operation
    DeviceBusy = 24,     // another logger operation holds the device, or the live side did not
                         // become idle in time; nothing was sent
    PortNotOpened = 25,  // the logger port could not be opened on the live port's device
    NotConnected = 26,   // no meter answers on the live link; nothing was sent
    MeterRecording = 27, // the meter records on its own; nothing was sent

    // Setup, and the factory check where it says so.
    Written = 30,    // every write of the new settings was echoed
    NotWritten,      // a memory write was not echoed (the setup still sends the others; the
                     // factory check stops)
    IntervalRefused, // the interval text was refused; nothing was written
    NotOpened,       // the meter did not echo the open command (the factory check: nor the
                     // dump command), or the logger port would not open
    DumpRefused,     // the meter did not echo the dump command
    NoHeader,        // fewer than 64 bytes of the memory image arrived

    // Erase Memory.
    Erased = 40, // the meter echoed the erase command
    NotErased,   // it did not (or the logger port would not open)
    Declined,    // the user answered No; nothing was sent

    // The factory check.
    Passed = 50,   // every step passed and the interval is 1 or 2 s
    WrongSettings, // every step passed but the interval is not 1 or 2 s
    ReadFailed,    // a step's read was not echoed, or no byte or a wrong byte came back
};

// True for the outcomes of a download after which the user is asked what to do (the error
// dialog's "Fixed the error ", "Try Again" and "Cancel"): the transfer or the memory went
// wrong, and another try, perhaps after repairing the header, may mend it.
inline bool isRetryable(LoggerOutcome r) {
    switch (r) {
    case LoggerOutcome::TooShort:
    case LoggerOutcome::Incomplete:
    case LoggerOutcome::TooManySets:
    case LoggerOutcome::BadDataSet:
    case LoggerOutcome::TooManyErrors:
    case LoggerOutcome::TimedOut:
        return true;
    default:
        return false;
    }
}
