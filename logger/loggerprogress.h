#pragma once

// What a logger transfer tells its watcher and asks of it. The watcher may be a progress
// window, a command-line printer or nothing; the transfer never touches a window itself.
// Calls come from inside the transfer on the thread that runs it; the transfer services
// events between its polls, so a window can repaint and take a Cancel click.
class LoggerProgress {
public:
    virtual ~LoggerProgress() = default;

    // The meter was asked for its memory: blocks follow at once. A window shows itself now,
    // painted, before the first block is read.
    virtual void transferStarting() {}

    // The header arrived: `expectedTotal` bytes will be sent (the used bytes rounded up to
    // whole blocks), of which `usedBytes` (end address + 1) hold data. A progress bar that
    // shows `usedBytes` as its maximum must clamp the received count, which reaches
    // `expectedTotal`.
    virtual void totalKnown(int expectedTotal, int usedBytes) = 0;
    // `received` bytes of the image arrived with a good checksum.
    virtual void bytesReceived(int received) = 0;
    // Asked between polls; true makes the transfer tell the meter to stop and end Cancelled.
    virtual bool cancelled() = 0;
};
