#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

// Runs the built metersim and knows the pseudo-terminal it serves. The waits for its start are
// long enough for a loaded machine running the sanitized build; they end once it is there.
class MeterSimProcess {
public:
    ~MeterSimProcess() { stop(); }

    static QString program() { return qEnvironmentVariable("QL_BIN_DIR") + "/metersim"; }

    bool start(const QStringList& arguments) {
        process.start(program(), arguments);
        if (!process.waitForStarted(30000))
            return false;
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(30000))
                return false;
        }
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !path.isEmpty();
    }
    void kill() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    void stop() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000))
                kill();
        }
    }

    QProcess process;
    QString path;
};
