// ql350-cli live with several meters into a real MQTT broker (mosquitto on a free loopback
// port): every reading it prints reaches a subscriber once and in order per meter, also while
// the broker is stopped and started again and while one meter is away and comes back (the
// other meter never stops); "offline" is the status after a clean end and, as the last will,
// after the tool is killed.

#include "support/metersimprocess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>
#include <map>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback port nobody listens on now.
int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    int port = -1;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool listening(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

QString findProgram(const QString& name) {
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin"}) {
        if (QFileInfo(QString::fromLatin1(dir) + u'/' + name).isExecutable())
            return QString::fromLatin1(dir) + u'/' + name;
    }
    return QStandardPaths::findExecutable(name);
}

// mosquitto with its sessions kept on disk, so that a subscriber's session and the messages
// queued for it outlive a stop and start of the broker.
class Broker {
public:
    bool start(const QString& folder, int port) {
        m_port = port;
        const QString conf = folder + "/mosquitto.conf";
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                               "persistence_location %2/\nmax_queued_messages 0\n")
                    .arg(port)
                    .arg(folder)
                    .toUtf8());
        f.close();
        m_process.start(findProgram("mosquitto"), {"-c", conf});
        if (!m_process.waitForStarted(30000))
            return false;
        QElapsedTimer waited;
        waited.start();
        while (!listening(port) && waited.elapsed() < 30000 && m_process.state() == QProcess::Running)
            m_process.waitForFinished(50);
        return listening(port);
    }
    void stop() {
        m_process.terminate(); // a clean stop writes the sessions to disk
        if (!m_process.waitForFinished(30000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    ~Broker() {
        if (m_process.state() != QProcess::NotRunning)
            stop();
    }
    int port() const { return m_port; }

private:
    QProcess m_process;
    int m_port = 0;
};

// What mosquitto_sub prints: "topic payload" a line.
struct Subscriber {
    QProcess process;
    QByteArray pending;
    QList<std::pair<QString, QByteArray>> messages;

    void take() {
        pending += process.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            const qsizetype space = line.indexOf(' ');
            messages += {QString::fromUtf8(line.left(space)), line.mid(space + 1)};
        }
    }
    // The readings of each meter, as (sequence, line), in arrival order.
    std::map<QString, QList<std::pair<qint64, QByteArray>>> readings() {
        take();
        std::map<QString, QList<std::pair<qint64, QByteArray>>> byMeter;
        for (const auto& [topic, payload] : messages) {
            if (!topic.endsWith("/reading"))
                continue;
            const QJsonObject o = QJsonDocument::fromJson(payload).object();
            byMeter[o.value("meter").toString()] += {o.value("seq").toInteger(), payload};
        }
        return byMeter;
    }
    QByteArray lastStatus(const QString& meterPrefix) {
        take();
        QByteArray last;
        for (const auto& [topic, payload] : messages) {
            if (topic.startsWith("lab/" + meterPrefix) && topic.endsWith("/status"))
                last = payload;
        }
        return last;
    }
};

// The JSON lines the tool printed, by meter.
std::map<QString, QList<std::pair<qint64, QByteArray>>> printed(const QByteArray& out) {
    std::map<QString, QList<std::pair<qint64, QByteArray>>> byMeter;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        byMeter[o.value("meter").toString()] += {o.value("seq").toInteger(), line};
    }
    return byMeter;
}

qint64 lastSeq(const std::map<QString, QList<std::pair<qint64, QByteArray>>>& m,
               const QString& meter) {
    const auto it = m.find(meter);
    return it == m.end() || it->second.isEmpty() ? 0 : it->second.last().first;
}

} // namespace

class TestCliMqtt : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void readingsReachTheBrokerOnceAndInOrder();

private:
    QTemporaryDir m_dir;
    QString m_mosquitto;
};

void TestCliMqtt::initTestCase() {
    m_mosquitto = findProgram("mosquitto");
    if (m_mosquitto.isEmpty() || findProgram("mosquitto_sub").isEmpty())
        QSKIP("mosquitto is not installed (scripts/bootstrap installs it)");
    QVERIFY(m_dir.isValid());
}

void TestCliMqtt::readingsReachTheBrokerOnceAndInOrder() {
    const int port = freePort();
    QVERIFY(port > 0);
    Broker broker;
    QVERIFY(broker.start(m_dir.path(), port));

    Subscriber sub;
    sub.process.start(findProgram("mosquitto_sub"),
                      {"-h", "127.0.0.1", "-p", QString::number(port), "-q", "1", "-c", "-i",
                       "ql350-test-subscriber", "-t", "lab/#", "-t", "homeassistant/#", "-v"});
    QVERIFY(sub.process.waitForStarted(30000));
    // Subscribed once a message of its own comes back.
    QTRY_VERIFY_WITH_TIMEOUT(
        (QProcess::execute(findProgram("mosquitto_pub"),
                           {"-h", "127.0.0.1", "-p", QString::number(port), "-q", "1", "-t",
                            "lab/probe", "-m", "x"}) == 0 &&
         sub.process.waitForReadyRead(1000) &&
         (sub.take(), !sub.messages.isEmpty())),
        30000);

    // Two meters at a fast pace, each behind a link of its own that a restart keeps.
    const QString link1 = m_dir.filePath("meter1");
    const QString link2 = m_dir.filePath("meter2");
    MeterSimProcess meter1;
    MeterSimProcess meter2;
    QVERIFY(meter1.start({"--instant", "--interval", "40", "--link", link1}));
    QVERIFY(meter2.start({"--instant", "--interval", "40", "--link", link2}));

    QProcess cli;
    cli.start(qEnvironmentVariable("QL_BIN_DIR") + "/ql350-cli",
              {"live", "--port", link1, "--port", link2, "--mqtt",
               QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(port), "--format", "json",
               "--ha-discovery"});
    QVERIFY(cli.waitForStarted(30000));
    QByteArray out;
    const auto readOut = [&] {
        out += cli.readAllStandardOutput();
        return printed(out);
    };
    // The ids are the link paths without slashes, the model after them.
    QString meterId1;
    QString meterId2;
    QTRY_VERIFY_WITH_TIMEOUT(readOut().size() == 2, 30000);
    for (const auto& [id, lines] : readOut())
        (id.contains("meter1") ? meterId1 : meterId2) = id;
    QVERIFY2(meterId1.endsWith("meter1-122") && meterId2.endsWith("meter2-122"),
             qPrintable(meterId1 + " " + meterId2));

    // Readings arrive while the broker runs.
    QTRY_VERIFY_WITH_TIMEOUT(lastSeq(sub.readings(), meterId1) >= 20 &&
                                 lastSeq(sub.readings(), meterId2) >= 20,
                             30000);

    // The broker away for five seconds; the meters go on meanwhile.
    broker.stop();
    const qint64 beforeStop = lastSeq(readOut(), meterId2);
    QElapsedTimer away;
    away.start();
    QTRY_VERIFY_WITH_TIMEOUT(away.elapsed() >= 5000 && lastSeq(readOut(), meterId2) >= beforeStop + 20,
                             30000);
    QVERIFY(broker.start(m_dir.path(), port));
    const qint64 printedBeforeRestart = lastSeq(readOut(), meterId2);
    QTRY_VERIFY_WITH_TIMEOUT(lastSeq(sub.readings(), meterId2) > printedBeforeRestart, 30000);

    // Meter 1 killed and started again on the same link: it comes back, meter 2 never stops.
    meter1.kill();
    const qint64 seq2AtKill = lastSeq(readOut(), meterId2);
    const qint64 seq1AtKill = lastSeq(readOut(), meterId1);
    QTRY_VERIFY_WITH_TIMEOUT(sub.lastStatus(meterId1) == "no connection", 30000);
    QVERIFY(lastSeq(readOut(), meterId2) > seq2AtKill); // the other meter went on
    QVERIFY(meter1.start({"--instant", "--interval", "40", "--link", link1}));
    QTRY_VERIFY_WITH_TIMEOUT(lastSeq(readOut(), meterId1) > seq1AtKill + 10, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(sub.lastStatus(meterId1), QByteArray("online"), 30000);

    // A clean end: everything printed is published, then "offline".
    ::kill(pid_t(cli.processId()), SIGTERM);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    const auto all = readOut();
    QTRY_VERIFY_WITH_TIMEOUT(sub.lastStatus(meterId1) == "offline" &&
                                 sub.lastStatus(meterId2) == "offline",
                             30000);
    const auto arrived = sub.readings();
    for (const QString& id : {meterId1, meterId2}) {
        const auto& sent = all.at(id);
        const auto& got = arrived.at(id);
        QVERIFY(sent.size() > 100);
        // Once each, in order, the same text as printed.
        QCOMPARE(got.size(), sent.size());
        for (qsizetype i = 0; i < sent.size(); ++i) {
            QCOMPARE(sent[i].first, i + 1);
            QCOMPARE(got[i].first, sent[i].first);
            QCOMPARE(got[i].second, sent[i].second);
        }
    }
    // Home Assistant discovery: a retained config per meter with its unit.
    bool discovered = false;
    for (const auto& [topic, payload] : sub.messages)
        discovered = discovered || (topic == "homeassistant/sensor/ql350_" + meterId2 + "/config" &&
                                    QJsonDocument::fromJson(payload).object().contains(
                                        "unit_of_measurement"));
    QVERIFY(discovered);

    // The last will: a tool killed outright leaves "offline" behind.
    QProcess killed;
    killed.start(qEnvironmentVariable("QL_BIN_DIR") + "/ql350-cli",
                 {"live", "--port", link2, "--mqtt",
                  QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(port)});
    QVERIFY(killed.waitForStarted(30000));
    const qsizetype seen = sub.messages.size();
    QTRY_VERIFY_WITH_TIMEOUT((sub.take(), sub.messages.size() > seen &&
                                              sub.lastStatus(meterId2) == "online"),
                             30000);
    killed.kill();
    QVERIFY(killed.waitForFinished(30000));
    QTRY_COMPARE_WITH_TIMEOUT(sub.lastStatus(meterId2), QByteArray("offline"), 40000);
    sub.process.terminate();
    sub.process.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestCliMqtt)
#include "test_cli_mqtt.moc"
