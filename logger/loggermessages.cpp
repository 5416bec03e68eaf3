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

} // namespace

QString LoggerMessage(LoggerOperation operation, LoggerOutcome outcome) {
    for (const Row& row : kMessages) {
        if (row.outcome == outcome && (!row.operation || *row.operation == operation))
            return QString::fromUtf8(row.text);
    }
    return QString();
}

QString EraseQuestion(const LoggerImage* header, bool notDownloaded) {
    if (!header)
        return QStringLiteral("Erase Memory ?");
    const int sets = header->DataSetCount();
    if (sets == 0)
        return QStringLiteral("The meter holds no data sets. Erase its memory?");
    const auto count = [](int n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QString held = count(sets, "data set", "data sets");
    if (const int records = header->HeldRecords(); records >= 0)
        held += QStringLiteral(", ") + count(records, "record", "records");
    if (notDownloaded)
        held += QStringLiteral(", not downloaded yet");
    return QStringLiteral("The meter holds %1. Erase %2?")
        .arg(held, sets == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}
