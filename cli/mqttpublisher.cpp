#include "mqttpublisher.h"

#include "rangetable.h"
#include "reading.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSysInfo>
#include <QThread>
#include <QUrl>

#include <MQTTAsync.h>

namespace {

// How long the client waits between reconnection attempts: at first, and at most.
constexpr int MinRetrySeconds = 1;
constexpr int MaxRetrySeconds = 4;

QByteArray jsonString(const QString& text) {
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

} // namespace

std::optional<MqttTarget> MqttTarget::parse(const QString& text, QString* error) {
    const QUrl url(text, QUrl::StrictMode);
    MqttTarget t;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != "mqtt" && scheme != "mqtts") || url.host().isEmpty()) {
        *error = QStringLiteral("--mqtt needs mqtt://HOST[:PORT][/PREFIX] or mqtts://...");
        return std::nullopt;
    }
    if (!url.userInfo().isEmpty()) {
        *error = QStringLiteral("--mqtt takes no user name or password in the URL (every user "
                                "of the machine can read a command line): use "
                                "--mqtt-credentials FILE or QL350_MQTT_USERNAME and "
                                "QL350_MQTT_PASSWORD");
        return std::nullopt;
    }
    t.tls = scheme == "mqtts";
    const int port = url.port(t.tls ? 8883 : 1883);
    QString host = url.host();
    if (host.contains(u':'))
        host = u'[' + host + u']'; // an IPv6 address
    t.serverUri = QStringLiteral("%1://%2:%3").arg(t.tls ? "ssl" : "tcp", host).arg(port);
    t.prefix = url.path();
    while (t.prefix.startsWith(u'/'))
        t.prefix.remove(0, 1);
    while (t.prefix.endsWith(u'/'))
        t.prefix.chop(1);
    if (t.prefix.contains(u'+') || t.prefix.contains(u'#')) {
        *error = QStringLiteral("the topic prefix of --mqtt may not hold + or #");
        return std::nullopt;
    }
    if (t.prefix.isEmpty())
        t.prefix = QStringLiteral("ql350");
    return t;
}

std::optional<MqttCredentials> MqttCredentials::load(const QString& file, QString* error) {
    MqttCredentials c;
    if (file.isEmpty()) {
        c.username = qgetenv("QL350_MQTT_USERNAME");
        c.password = qgetenv("QL350_MQTT_PASSWORD");
        return c;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file, f.errorString());
        return std::nullopt;
    }
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        const QByteArray line = f.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype eq = line.indexOf('=');
        const QByteArray key = line.left(eq).trimmed();
        if (eq > 0 && key == "username") {
            c.username = line.mid(eq + 1).trimmed();
        } else if (eq > 0 && key == "password") {
            c.password = line.mid(eq + 1).trimmed();
        } else {
            *error = QStringLiteral("%1, line %2: expected username=... or password=...")
                         .arg(file)
                         .arg(lineNo);
            return std::nullopt;
        }
    }
    return c;
}

// The library's client and the texts its options point at, which must live as long as it.
struct MqttPublisher::Client {
    MQTTAsync handle = nullptr;
    QByteArray clientId;
    QByteArray willTopic;
    QByteArray caFile;
    MqttPublisher* owner = nullptr;

    ~Client() {
        if (handle)
            MQTTAsync_destroy(&handle);
    }

    static void onConnected(void* context, char*) {
        auto* self = static_cast<Client*>(context);
        self->owner->m_connected = true;
    }
    static void onConnectionLost(void* context, char*) {
        auto* self = static_cast<Client*>(context);
        self->owner->m_connected = false;
        self->owner->m_lost = true;
    }
    static int onMessage(void*, char* topic, int, MQTTAsync_message* message) {
        // Nothing is subscribed; a message that comes anyway is let go.
        MQTTAsync_freeMessage(&message);
        MQTTAsync_free(topic);
        return 1;
    }
};

MqttPublisher::MqttPublisher(const Settings& settings, const QString& meterId)
    : m_settings(settings), m_meterId(meterId),
      m_base(settings.target.prefix + u'/' + meterId),
      m_json(ReadingFormatter::Settings{CliOptions::Format::Json}) {}

MqttPublisher::~MqttPublisher() {
    if (m_client && m_client->handle)
        MQTTAsync_disconnect(m_client->handle, nullptr);
}

bool MqttPublisher::start(QString* error) {
    m_client = std::make_unique<Client>();
    Client& c = *m_client;
    c.owner = this;
    // One session per meter and machine, the same after a restart.
    c.clientId = QString("ql350-" + QSysInfo::machineHostName() + u'-' + m_meterId).left(200).toUtf8();
    c.willTopic = statusTopic().toUtf8();
    c.caFile = QFile::encodeName(m_settings.caFile);

    MQTTAsync_createOptions create = MQTTAsync_createOptions_initializer;
    create.sendWhileDisconnected = 1;
    create.allowDisconnectedSendAtAnyTime = 1; // readings before the first connection too
    create.maxBufferedMessages = m_settings.bufferLimit;
    create.deleteOldestMessages = 1;
    int rc = MQTTAsync_createWithOptions(&c.handle,
                                         m_settings.target.serverUri.toUtf8().constData(),
                                         c.clientId.constData(), MQTTCLIENT_PERSISTENCE_NONE,
                                         nullptr, &create);
    if (rc != MQTTASYNC_SUCCESS) {
        c.handle = nullptr;
        *error = QStringLiteral("cannot make an MQTT client for %1: %2")
                     .arg(m_settings.target.serverUri, QString::fromUtf8(MQTTAsync_strerror(rc)));
        return false;
    }
    MQTTAsync_setCallbacks(c.handle, &c, &Client::onConnectionLost, &Client::onMessage, nullptr);
    MQTTAsync_setConnected(c.handle, &c, &Client::onConnected);

    MQTTAsync_willOptions will = MQTTAsync_willOptions_initializer;
    will.topicName = c.willTopic.constData();
    will.message = "offline";
    will.retained = 1;
    will.qos = 1;
    MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
    ssl.enableServerCertAuth = 1;
    ssl.verify = 1;
    if (!c.caFile.isEmpty())
        ssl.trustStore = c.caFile.constData();

    MQTTAsync_connectOptions connect = MQTTAsync_connectOptions_initializer;
    connect.keepAliveInterval = 10;
    // The session stays with the broker and the client: QoS 1 readings in flight when the
    // connection drops are sent again after it is back.
    connect.cleansession = 0;
    connect.automaticReconnect = 1;
    connect.minRetryInterval = MinRetrySeconds;
    connect.maxRetryInterval = MaxRetrySeconds;
    connect.connectTimeout = 5;
    connect.will = &will;
    if (m_settings.target.tls)
        connect.ssl = &ssl;
    if (!m_settings.credentials.username.isEmpty())
        connect.username = m_settings.credentials.username.constData();
    if (!m_settings.credentials.password.isEmpty())
        connect.password = m_settings.credentials.password.constData();
    rc = MQTTAsync_connect(c.handle, &connect);
    if (rc != MQTTASYNC_SUCCESS) {
        *error = QStringLiteral("cannot connect to %1: %2")
                     .arg(m_settings.target.serverUri, QString::fromUtf8(MQTTAsync_strerror(rc)));
        return false;
    }
    m_status = "online";
    send(statusTopic(), m_status, true);
    return true;
}

int MqttPublisher::pendingCount() const {
    MQTTAsync_token* tokens = nullptr;
    if (!m_client || !m_client->handle ||
        MQTTAsync_getPendingTokens(m_client->handle, &tokens) != MQTTASYNC_SUCCESS || !tokens)
        return 0;
    int n = 0;
    while (tokens[n] != -1)
        ++n;
    MQTTAsync_free(tokens);
    return n;
}

void MqttPublisher::send(const QString& topic, const QByteArray& payload, bool retained) {
    if (!m_client || !m_client->handle)
        return;
    if (m_lost.exchange(false))
        m_queuedOffline = pendingCount(); // what waits from before the connection dropped
    if (!m_connected) {
        // The library drops the oldest message once its buffer is full: count it.
        if (++m_queuedOffline > m_settings.bufferLimit)
            ++m_dropped;
    } else {
        m_queuedOffline = 0;
    }
    MQTTAsync_message message = MQTTAsync_message_initializer;
    message.payload = const_cast<char*>(payload.constData());
    message.payloadlen = int(payload.size());
    message.qos = 1;
    message.retained = retained ? 1 : 0;
    MQTTAsync_responseOptions options = MQTTAsync_responseOptions_initializer;
    MQTTAsync_sendMessage(m_client->handle, topic.toUtf8().constData(), &message, &options);
}

void MqttPublisher::publish(const Reading& reading, const StampedReading& stamp) {
    QByteArray line = m_json.line(reading, stamp);
    line.chop(1); // the line end
    if (m_settings.haDiscovery) {
        const QString siUnit = reading.overload
                                   ? m_discoveredUnit
                                   : QString::fromUtf8(RangeTable::toSi(reading.unitText).unit);
        if (!siUnit.isEmpty() && siUnit != m_discoveredUnit) {
            m_discoveredUnit = siUnit;
            send(QStringLiteral("homeassistant/sensor/ql350_%1/config").arg(m_meterId),
                 discoveryConfig(m_meterId, m_base, siUnit), true);
        }
    }
    send(readingTopic(), line, false);
}

void MqttPublisher::setMeterConnected(bool connected) {
    const QByteArray status = connected ? "online" : "no connection";
    if (status == m_status)
        return;
    m_status = status;
    send(statusTopic(), status, true);
}

int MqttPublisher::finish(int waitMs) {
    if (!m_client || !m_client->handle)
        return 0;
    send(statusTopic(), "offline", true);
    QDeadlineTimer deadline(waitMs);
    int pending = pendingCount();
    while (pending > 0 && !deadline.hasExpired()) {
        QThread::msleep(20);
        pending = pendingCount();
    }
    MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
    options.timeout = 2000;
    MQTTAsync_disconnect(m_client->handle, &options);
    // The disconnect is asynchronous: give it the time it asked for to leave.
    QDeadlineTimer gone(2500);
    while (MQTTAsync_isConnected(m_client->handle) && !gone.hasExpired())
        QThread::msleep(20);
    m_client.reset();
    return pending;
}

QByteArray MqttPublisher::discoveryConfig(const QString& meterId, const QString& base,
                                          const QString& siUnit) {
    // Home Assistant's device classes for the quantities the meter measures; a quantity it
    // has no class for is a plain sensor with its unit.
    const struct {
        const char* unit;
        const char* shown;
        const char* deviceClass;
    } classes[] = {{"V", "V", "voltage"},          {"A", "A", "current"},
                   {"Hz", "Hz", "frequency"},      {"\xC2\xB0" "C", "\xC2\xB0" "C", "temperature"},
                   {"Ohm", "\xCE\xA9", nullptr},   {"F", "F", nullptr},
                   {"rpm", "rpm", nullptr}};
    QByteArray shown = siUnit.toUtf8();
    const char* deviceClass = nullptr;
    for (const auto& c : classes) {
        if (siUnit == QString::fromUtf8(c.unit)) {
            shown = c.shown;
            deviceClass = c.deviceClass;
        }
    }
    QByteArray out = "{\"name\":" + jsonString(QStringLiteral("Multimeter %1").arg(meterId));
    out += ",\"unique_id\":" + jsonString(QStringLiteral("ql350_%1").arg(meterId));
    out += ",\"state_topic\":" + jsonString(base + QStringLiteral("/reading"));
    out += ",\"value_template\":\"{{ value_json.si_value }}\"";
    out += ",\"unit_of_measurement\":" + jsonString(QString::fromUtf8(shown));
    if (deviceClass)
        out += ",\"device_class\":\"" + QByteArray(deviceClass) + '"';
    out += ",\"state_class\":\"measurement\"";
    out += ",\"availability_topic\":" + jsonString(base + QStringLiteral("/status"));
    out += ",\"payload_available\":\"online\",\"payload_not_available\":\"offline\"";
    out += ",\"device\":{\"identifiers\":[" + jsonString(QStringLiteral("ql350_%1").arg(meterId)) +
           "],\"name\":" + jsonString(QStringLiteral("Multimeter %1").arg(meterId)) + "}}";
    return out;
}
