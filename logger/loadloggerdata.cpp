#include "loadloggerdata.h"

#include "livelinkcontrol.h"
#include "loggerporthandover.h"

LoggerDownload loadLoggerData(LiveLinkControl& live, MeterPort& loggerPort, LoggerProgress* progress,
                              LoadLoggerDataUser& user, double today, const LoggerTiming& timing) {
    if (!live.connected() || live.meterRecording()) {
        LoggerDownload refused;
        refused.result =
            live.connected() ? LoggerOutcome::MeterRecording : LoggerOutcome::NotConnected;
        return refused;
    }
    LoggerPortHandOver handOver(live, loggerPort, timing);
    if (!handOver.taken()) {
        LoggerDownload refused;
        refused.result = handOver.failure();
        return refused;
    }
    for (;;) {
        LoggerDownload d =
            downloadLoggerMemory(loggerPort, handOver.commands(), progress, today, timing);
        if (!isRetryable(d.result))
            return d;
        switch (user.downloadFailed(d)) {
        case LoggerErrorChoice::Fixed:
            if (d.result == LoggerOutcome::BadDataSet)
                user.headerRepaired(repairLoggerHeader(
                    loggerPort, handOver.commands(), d.parse.badSetIndex, d.parse.lastGoodAddress));
            break;
        case LoggerErrorChoice::TryAgain:
            break;
        case LoggerErrorChoice::Cancel:
            return d;
        }
    }
}
