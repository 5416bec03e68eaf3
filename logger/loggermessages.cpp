#include "loggermessages.h"

#include "loggerimage.h"

#include <optional>

namespace {

struct Row {
    std::optional<LoggerOperation> operation; // nullopt: every operation without a row of its own
    LoggerOutcome outcome;
    const char* text; // UTF-8
};

using Op = LoggerOperation;
using O = LoggerOutcome;

// Rows of one operation come before the rows for every operation.
const Row kMessages[] = {
    {Op::LoadData, O::MeterRecording,
     "The meter is recording data, please stop recording before loading data."},
    {Op::LoadData, O::NoData, "There was not any data recorded in memory of meter !"},

    {Op::Setup, O::MeterRecording,
     "The meter is recording data, please stop recording before setting up."},
    {Op::Setup, O::Written,
     "Setup saved. Please power off and power on the meter again to make this setup "
     "valid. "},
    {Op::Setup, O::NotWritten, "Fail to save settings to multimeter!"},
    {Op::Setup, O::NotOpened, "Setup error, please check the connection and try again !"},
    {Op::Setup, O::NoHeader, "Fail to load settings from multimeter!"},

    {Op::EraseMemory, O::MeterRecording,
     "The meter is recording data, please stop recording before erasing memory."},
    {Op::EraseMemory, O::Erased, "Memory erased."},
    {Op::EraseMemory, O::NotErased, "Fail to erase memory !"},

    {Op::FactoryCheck, O::NotConnected, "未能偵測到電表"},
    {Op::FactoryCheck, O::MeterRecording, "請先停止記憶"},

    {std::nullopt, O::NotConnected, "There is no connection with multimeter !"},
};

const struct {
    LoggerStep step;
    const char* text;
} kPortLost[] = {
    {LoggerStep::ReadingSettings,
     "The meter was lost while reading its settings; nothing was written."},
    {LoggerStep::WritingInterval,
     "The meter was lost while writing the interval; the meter's settings may be incomplete: "
     "run Setup again"},
    {LoggerStep::WritingStartTime,
     "The meter was lost while writing the start time; the meter's settings may be incomplete: "
     "run Setup again"},
    {LoggerStep::ReadingHeader,
     "The meter was lost while reading its memory header; nothing was erased."},
    {LoggerStep::BeforeErase,
     "The meter was lost before the erase command was sent; nothing was erased."},
    {LoggerStep::Erasing,
     "The meter was lost while erasing; whether its memory was erased is not known: load the "
     "data to see what it holds."},
};

} // namespace

QString portLostMessage(LoggerStep step) {
    for (const auto& row : kPortLost) {
        if (row.step == step)
            return QString::fromUtf8(row.text);
    }
    return QString();
}

bool headerCanBeFixed(LoggerOutcome outcome) {
    return outcome == LoggerOutcome::BadDataSet;
}

QString downloadFailureMessage(LoggerOutcome outcome, int errors, const QString& unechoed,
                               int received) {
    const QString prefix = QStringLiteral("There was an error reading data from the meter: ");
    switch (outcome) {
    case LoggerOutcome::PortLost:
        return prefix + QStringLiteral("the meter was lost (the port failed or was unplugged).");
    case LoggerOutcome::TooManyErrors:
        return prefix + QStringLiteral("%1 blocks arrived damaged and were asked for again; the "
                                       "transfer was stopped.")
                            .arg(errors);
    case LoggerOutcome::PortNotOpened:
        return prefix + QStringLiteral("the meter's port could not be opened.");
    case LoggerOutcome::TimedOut:
        return prefix + QStringLiteral("the transfer took too long and was stopped.");
    case LoggerOutcome::TooShort:
        if (received == 0 && unechoed.size() == 2)
            return prefix + QStringLiteral("the meter did not answer. Check that it is switched "
                                           "on and connected.");
        if (!unechoed.isEmpty())
            return prefix + QStringLiteral("the meter did not echo the %1 command.")
                                .arg(unechoed.size() == 2 ? QStringLiteral("C and P") : unechoed);
        return prefix + QStringLiteral("only %1 bytes arrived.").arg(received);
    case LoggerOutcome::Incomplete:
        return prefix + QStringLiteral("the memory arrived incomplete (%1 bytes).").arg(received);
    case LoggerOutcome::TooManySets:
        return prefix + QStringLiteral("the memory header counts more than 4000 data sets.");
    case LoggerOutcome::BadDataSet:
        return prefix + QStringLiteral("a data set is damaged. \"Fixed the error \" keeps the "
                                       "data sets before it and gives up the rest.");
    default:
        return prefix.chopped(2) + u'.';
    }
}

QString loggerMessage(LoggerOperation operation, LoggerOutcome outcome) {
    for (const Row& row : kMessages) {
        if (row.outcome == outcome && (!row.operation || *row.operation == operation))
            return QString::fromUtf8(row.text);
    }
    return QString();
}

QString eraseQuestion(const LoggerImage* header, bool notDownloaded) {
    if (!header)
        return QStringLiteral("Erase Memory ?");
    const int sets = header->dataSetCount();
    if (sets == 0)
        return QStringLiteral("The meter holds no data sets. Erase its memory?");
    const auto count = [](int n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QString held = count(sets, "data set", "data sets");
    if (const int records = header->heldRecords(); records >= 0)
        held += QStringLiteral(", ") + count(records, "record", "records");
    if (notDownloaded)
        held += QStringLiteral(", not downloaded yet");
    return QStringLiteral("The meter holds %1. Erase %2?")
        .arg(held, sets == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}
