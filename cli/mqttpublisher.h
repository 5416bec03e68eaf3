#pragma once

#include "readingformatter.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

struct Reading;

// Where `--mqtt URL` publishes: the broker and the topic prefix, parsed from
// mqtt://host[:port][/prefix] or mqtts://host[:port][/prefix] (TLS). User name and password
// never come from the URL (a command line is visible to every user of the machine): they come
// from a file or the environment (MqttCredentials).
struct MqttTarget {
    QString serverUri; // as the client library wants it: tcp://host:port or ssl://host:port
    QString prefix;    // without slashes at either end; "ql350" when the URL has none
    bool tls = false;

    // Nothing, with *error saying why, for a URL that is not one of the forms above.
    static std::optional<MqttTarget> parse(const QString& url, QString* error);
};

// User name and password for the broker: from `file` when one is given (lines "username=..."
// and "password=...", blank lines and lines starting with # ignored), else from the
// environment (QL350_MQTT_USERNAME, QL350_MQTT_PASSWORD); both empty for an anonymous
// broker. A file that cannot be read is an error, never an anonymous connection.
struct MqttCredentials {
    QByteArray username;
    QByteArray password;
    static std::optional<MqttCredentials> load(const QString& file, QString* error);
};

// Publishes one meter's readings to an MQTT broker with the Eclipse Paho C client
// (MQTTAsync), one client per meter so that each meter has its own last will:
//
//   <prefix>/<meter>/reading   every reading as the JSON line of --format json (with its
//                              sequence number), QoS 1, in order
//   <prefix>/<meter>/status    "online" while the meter answers, "no connection" while it
//                              is away, "offline" when the tool ends; retained, and "offline"
//                              is also the client's last will, so a killed tool shows offline
//   homeassistant/sensor/ql350_<meter>/config
//                              with --ha-discovery: a retained Home Assistant discovery
//                              config (SI value, unit, device class), again when the unit
//                              changes
//
// While the broker is away the client library keeps the readings (at most `bufferLimit`;
// beyond that the oldest go first and are counted) and sends them in order once it is back;
// it reconnects by itself. The library's callbacks run on its own thread: they only touch
// atomics. The publisher is used from the one thread of the tool.
class MqttPublisher {
public:
    struct Settings {
        MqttTarget target;
        MqttCredentials credentials;
        QString caFile; // TLS: the certificates to trust; empty: the system's
        bool haDiscovery = false;
        int bufferLimit = 100000;
    };
    MqttPublisher(const Settings& settings, const QString& meterId);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Starts connecting; false with *error when the client could not even be made (a bad
    // URI). A broker that does not answer is not an error: the client keeps trying.
    bool start(QString* error);
    void publish(const Reading& reading, const StampedReading& stamp);
    // The meter answers ("online") or is away ("no connection").
    void setMeterConnected(bool connected);
    // Sends "offline" and waits up to `waitMs` for what is still queued to leave, then
    // disconnects. Returns how many readings were still unsent.
    int finish(int waitMs);

    bool brokerConnected() const { return m_connected.load(); }
    // Readings dropped because the buffer was full while the broker was away.
    qint64 dropped() const { return m_dropped; }
    QString readingTopic() const { return m_base + QStringLiteral("/reading"); }
    QString statusTopic() const { return m_base + QStringLiteral("/status"); }

    // The Home Assistant discovery config for a meter now showing `siUnit` (the portable
    // format's SI unit), as published.
    static QByteArray discoveryConfig(const QString& meterId, const QString& base,
                                      const QString& siUnit);

private:
    struct Client;
    void send(const QString& topic, const QByteArray& payload, bool retained);
    int pendingCount() const;

    Settings m_settings;
    QString m_meterId;
    QString m_base; // <prefix>/<meter>
    std::unique_ptr<Client> m_client;
    ReadingFormatter m_json;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_lost{false}; // set by the library when the connection dropped
    qint64 m_queuedOffline = 0; // queued while the broker was away, since it went
    qint64 m_dropped = 0;
    QString m_discoveredUnit;
    QByteArray m_status;
};
