#include "factorycheck.h"

#include "clock.h"
#include "delay.h"
#include "livelinkcontrol.h"
#include "loggercommandbuffer.h"
#include "loggerheaderread.h"
#include "loggerimage.h"
#include "loggermessages.h"
#include "loggerporthandover.h"
#include "loggersetup.h"
#include "meterport.h"
#include "recordinginterval.h"

#include <QLocale>

#include <optional>

namespace FactoryCheck {

namespace {

QString hex(int byte) {
    return QStringLiteral("%1").arg(byte & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

// The answer to a read: the first byte that arrives within `silenceMs`, if any.
std::optional<quint8> awaitByte(MeterPort& port, const Clock& clock, const LoggerTiming& timing) {
    const qint64 start = clock.monotonicMs();
    while (clock.monotonicMs() - start < timing.silenceMs) {
        if (const int n = port.inputCount(); n > 0) {
            QByteArray bytes;
            port.read(bytes, n);
            return quint8(bytes.at(0));
        }
        delay(unsigned(timing.pollMs));
    }
    return std::nullopt;
}

LoggerOutcome check(MeterPort& port, LoggerPortHandOver& handOver, View& view, const Clock& clock,
                    const LoggerTiming& timing) {
    LoggerCommandBuffer& commands = handOver.commands();
    const auto echoWait = unsigned(timing.echoWaitMs);
    if (!sendCommand(port, commands.open(), echoWait) ||
        !sendCommand(port, commands.dump(), echoWait)) {
        view.addLine(openFailedLine());
        return LoggerOutcome::NotOpened;
    }
    const LoggerImage header(readLoggerHeaderBlocks(port, commands, clock, timing));
    if (!header.holds(0, 64)) {
        view.addLine(noHeaderLine());
        return LoggerOutcome::NoHeader;
    }
    const int interval = header.recordingInterval() / int(RecordingInterval::UnitsPerSecond);
    view.showHeader(intervalText(interval),
                    timeLabelText(daysToDateTime(header.timeLabel(clock.now()))));

    for (int step = 1; step <= Steps; ++step) {
        const int high = 16 * step;
        const int address = high << 8 | 0xF0;
        const auto testByte = quint8(daysToDateTime(clock.now()).time().msec() % 256);
        const QString line = stepLine(high, testByte);
        view.addLine(line);
        if (!sendCommand(port, commands.memoryWrite(address, testByte), echoWait)) {
            view.addLine(writeFailedLine(high));
            return LoggerOutcome::NotWritten;
        }
        if (!sendCommand(port, commands.memoryRead(address), echoWait) ||
            awaitByte(port, clock, timing) != testByte) {
            view.addLine(readFailedLine(high));
            return LoggerOutcome::ReadFailed;
        }
        view.rewriteLastLine(line + passSuffix());
    }
    // A header torn by an unfinished Setup is wrong whatever its interval reads.
    const bool settingsRight = (interval == 1 || interval == 2) && !header.setupUnfinished();
    view.addLine(settingsRight ? passedLine() : wrongSettingsLine());
    handOver.setResume(true);
    return settingsRight ? LoggerOutcome::Passed : LoggerOutcome::WrongSettings;
}

} // namespace

QString readingLine() {
    return QStringLiteral("讀取電表資料中.....");
}
QString openFailedLine() {
    return QStringLiteral("讀取電表資料失敗,停止測試");
}
QString noHeaderLine() {
    return QStringLiteral("電表記憶體資料表頭讀取失敗,停止測試");
}
QString stepLine(int high, quint8 testByte) {
    return QStringLiteral("測試記憶體") + hex(high) + QStringLiteral("f0讀寫") + hex(testByte);
}
QString passSuffix() {
    return QStringLiteral("....pass");
}
QString writeFailedLine(int high) {
    return QStringLiteral("測試記憶體") + hex(high) + QStringLiteral("f0寫入失敗,停止測試");
}
QString readFailedLine(int high) {
    return QStringLiteral("測試記憶體") + hex(high) + QStringLiteral("f0讀取失敗,停止測試");
}
QString portLostLine() {
    return QStringLiteral("電表連線中斷,停止測試");
}
QString passedLine() {
    return QStringLiteral("測試成功");
}
QString wrongSettingsLine() {
    return QStringLiteral("電表時間或時間間隔錯誤,測試失敗");
}
QString intervalText(int seconds) {
    return QString::number(seconds) + QStringLiteral("秒");
}

QString timeLabelText(const QDateTime& timeLabel) {
    const QLocale locale;
    const QString date = locale.toString(timeLabel.date(), QLocale::ShortFormat);
    if (timeLabel.time() == QTime(0, 0))
        return date;
    return date + u' ' + locale.toString(timeLabel.time(), localeTimeFormatWithSeconds());
}

LoggerOutcome Run(LiveLinkControl& live, MeterPort& loggerPort, View& view, const Clock& clock,
                  const LoggerTiming& timing) {
    if (!live.connected()) {
        view.tell(loggerMessage(LoggerOperation::FactoryCheck, LoggerOutcome::NotConnected));
        return LoggerOutcome::NotConnected;
    }
    if (live.meterRecording()) {
        view.tell(loggerMessage(LoggerOperation::FactoryCheck, LoggerOutcome::MeterRecording));
        return LoggerOutcome::MeterRecording;
    }
    // While another logger operation holds the device the check does not start, and the
    // window keeps what it shows.
    if (LoggerPortHandOver::inUse())
        return LoggerOutcome::DeviceBusy;
    view.clear();
    view.addLine(readingLine());

    LoggerTiming bench = timing;
    bench.quietMs = 0;
    LoggerPortHandOver handOver(live, loggerPort, bench);
    handOver.setResume(false);
    if (!handOver.taken()) {
        if (handOver.failure() == LoggerOutcome::DeviceBusy)
            return LoggerOutcome::DeviceBusy;
        view.addLine(openFailedLine());
        return LoggerOutcome::NotOpened;
    }
    try {
        return check(loggerPort, handOver, view, clock, bench);
    } catch (const SilentAbort&) {
    } catch (const PortError&) {
    }
    // The verdict at once: the last line must not look as if the check were still running.
    view.addLine(portLostLine());
    return LoggerOutcome::PortLost;
}

} // namespace FactoryCheck
