#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// The command line of ql350-cli: a command word and its options. Each command accepts only
// its own options; an option may be given as "--name value" or "--name=value".
struct CliOptions {
    enum class Command { Help, Ports, Identify, Live, Download, Setup, Erase };
    enum class Format { Tsv, Csv, Json, Txt };

    Command command = Command::Help;
    QString port; // empty: the meter search
    bool probe = false;
    std::optional<qint64> count;
    std::optional<double> durationSeconds;
    Format format = Format::Tsv;
    QString outDir;
    QString rawFile;
    bool repair = false;
    // How many more times a transfer that went wrong is tried before giving up.
    int retries = 2;
    // The recording interval in the meter's units of 100 us.
    std::optional<quint32> interval;
    bool timeNow = false;
    std::optional<QDateTime> time;
    bool yes = false;

    // What parse() found; error is empty when the line is good.
    struct Parsed;
    static Parsed parse(const QStringList& arguments);

    // The recording intervals the meter offers, given as "5s", "30 s", "1m", "10min",
    // "20 minutes", ...: the value in units of 100 us, or nothing for any other text.
    static std::optional<quint32> parseInterval(const QString& text);
};

struct CliOptions::Parsed {
    CliOptions options;
    QString error;
};

// The text of --help: commands, options, output columns and exit codes.
QString CliUsage();
