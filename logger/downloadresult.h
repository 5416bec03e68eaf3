#pragma once

// How a download of the logger memory ended. The first six values are the meter's classic
// outcomes (their numbers are kept); the rest tell apart the ways a transfer can stop short
// that the user should hear about in their own words instead of "too short".
enum class DownloadResult {
    TooShort = 1,    // fewer than 256 bytes arrived (usually: the meter did not answer)
    Incomplete = 3,  // fewer bytes arrived than the header's end address asks for
    TooManySets = 4, // the header counts more than 4000 data sets
    BadDataSet = 5,  // a data set failed its marker or length check
    NoData = 6,      // the header counts no data set
    Loaded = 10,     // every data set is good

    Cancelled = 20,      // the user cancelled; the meter was told to stop
    TooManyErrors = 21,  // more than 20 blocks were rejected; the meter was told to stop
    TimedOut = 22,       // the transfer ran past its overall time limit; the meter was told to stop
    PortLost = 23,       // the logger port failed or vanished during the operation
    DeviceBusy = 24,     // the live side did not become idle in time; nothing was sent
    PortNotOpened = 25,  // the logger port could not be opened on the live port's device
    NotConnected = 26,   // no meter answers on the live link; nothing was sent
    MeterRecording = 27, // the meter records on its own; nothing was sent
};

// True for the outcomes after which the user is asked what to do (the error dialog's "Fixed
// the error ", "Try Again" and "Cancel"): the transfer or the memory went wrong, and another
// try, perhaps after repairing the header, may mend it.
inline bool IsRetryable(DownloadResult r) {
    switch (r) {
    case DownloadResult::TooShort:
    case DownloadResult::Incomplete:
    case DownloadResult::TooManySets:
    case DownloadResult::BadDataSet:
    case DownloadResult::TooManyErrors:
    case DownloadResult::TimedOut:
        return true;
    default:
        return false;
    }
}
