#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// The command line of ql350-cli: a command word and its options. Each command accepts only
// its own options; an option may be given as "--name value" or "--name=value".
struct CliOptions {
    enum class Command { Help, Ports, Identify, Live, Download, Setup, Erase };
    enum class Format { Tsv, Csv, Json, Txt, Influx };
    // Whether download, setup and erase show their progress on standard error: Auto when it
    // is a terminal.
    enum class Progress { Auto, Always, Never };

    Command command = Command::Help;
    QString port;      // empty: the meter search; the first of `ports`
    QStringList ports; // live: every --port given, in order
    bool allPorts = false; // live --all: every port the search finds a meter on
    bool probe = false;
    std::optional<qint64> count;
    std::optional<double> durationSeconds;
    Format format = Format::Tsv;
    bool formatGiven = false;
    bool legacyColumns = false; // csv as before the portable format
    bool header = false;        // tsv and csv: a header line first
    Progress progress = Progress::Auto;
    // live --mqtt: the broker URL, where the user name and password are, the certificates to
    // trust for mqtts://, Home Assistant discovery, and how many readings wait at most per
    // meter while the broker is away.
    QString mqttUrl;
    QString mqttCredentialsFile;
    QString mqttCaFile;
    bool haDiscovery = false;
    int mqttBuffer = 100000;
    // live --above/--below: limits in the coherent unit of the reading's quantity (V, A, Ohm,
    // Hz, F, degrees C) with a hysteresis; --stop-at-limit ends the run at the first crossing.
    std::optional<double> above;
    std::optional<double> below;
    double hysteresis = 0;
    bool stopAtLimit = false;
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
QString cliUsage();
