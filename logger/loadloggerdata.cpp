#include "loadloggerdata.h"

#include "livelinkcontrol.h"
#include "loggerporthandover.h"

LoggerDownload LoadLoggerData(LiveLinkControl& live, MeterPort& loggerPort, LoggerProgress* progress,
                              LoadLoggerDataUser& user, double today, const LoggerTiming& timing) {
    if (!live.connected() || live.meterRecording()) {
        LoggerDownload refused;
        refused.Result =
            live.connected() ? LoggerOutcome::MeterRecording : LoggerOutcome::NotConnected;
        return refused;
    }
    LoggerPortHandOver handOver(live, loggerPort, timing);
    if (!handOver.taken()) {
        LoggerDownload refused;
        refused.Result = handOver.failure();
        return refused;
    }
    for (;;) {
        LoggerDownload d =
            DownloadLoggerMemory(loggerPort, handOver.commands(), progress, today, timing);
        if (!IsRetryable(d.Result))
            return d;
        switch (user.downloadFailed(d)) {
        case LoggerErrorChoice::Fixed:
            if (d.Result == LoggerOutcome::BadDataSet)
                user.headerRepaired(RepairLoggerHeader(
                    loggerPort, handOver.commands(), d.Parse.BadSetIndex, d.Parse.LastGoodAddress));
            break;
        case LoggerErrorChoice::TryAgain:
            break;
        case LoggerErrorChoice::Cancel:
            return d;
        }
    }
}
