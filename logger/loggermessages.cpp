#include "loggermessages.h"

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
    {Op::LoadData, O::NoData, "There was not any data recorded in momery of meter !"},

    {Op::Setup, O::MeterRecording,
     "The meter is recording data, please stop recording before setting up."},
    {Op::Setup, O::Written,
     "Setup successfully! Please power off and power on the meter again to make this setup "
     "valid. "},
    {Op::Setup, O::NotWritten, "Fail to save settins form multimeter!"},
    {Op::Setup, O::NotOpened, "Setup error, please check the connection and try again !"},
    {Op::Setup, O::NoHeader, "Fail to load settins form multimeter!"},

    {Op::EraseMemory, O::MeterRecording,
     "The meter is recording data, please stop recording before erasing memory."},
    {Op::EraseMemory, O::Erased, "Memory erase successfully !"},
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
