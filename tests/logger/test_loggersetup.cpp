// The setup and the erase over a pseudo-terminal against metersim, with the memory read back
// afterwards; the header read and the interval text without a meter.

#include "support/fakeport.h"
#include "loggerblock.h"
#include "loggercommandbuffer.h"
#include "loggerheaderread.h"
#include "loggerimage.h"
#include "loggermessages.h"
#include "loggersetup.h"
#include "memoryerase.h"
#include "support/loggermetersession.h"
#include "recordinginterval.h"

#include <QTest>

namespace {

// Answers for the user from the test's script and records what it was shown.
struct ScriptedUser : LoggerSetupUser, MemoryEraseUser {
    std::optional<LoggerSetupChoice> choice;
    bool confirm = true;
    std::optional<LoggerSettings> shown;
    QStringList busy, messages, questions;
    void showBusy(const QString& text) override { busy += text; }
    std::optional<LoggerSetupChoice> chooseSettings(const LoggerSettings& current) override {
        shown = current;
        return choice;
    }
    bool confirmErase(const LoggerImage* header) override {
        questions += eraseQuestion(header, true);
        return confirm;
    }
    void tell(const QString& message) override { messages += message; }
};

// A memory holding one set of one record (bytes 256..269) at a 1 s interval.
QByteArray oneSetImage() {
    QByteArray image = headerImage(0x002710);
    image[10] = 1;
    image[11] = 1;
    image[12] = char(0x0D);
    return image + QByteArray::fromHex("a55a002710700800000101235aa5");
}

// The waits for a meter that goes away: the echo wait outlasts the time the port needs to
// report the line gone, however loaded the machine (a meter that hangs keeps the short waits).
LoggerTiming lostMeterTiming(LoggerOutcome outcome) {
    LoggerTiming t = fastTiming();
    if (outcome == LoggerOutcome::PortLost)
        t.echoWaitMs = 1000;
    return t;
}

const QString kWritten = QStringLiteral("Setup saved. Please power off and power on the "
                                        "meter again to make this setup valid. ");

} // namespace

Q_DECLARE_METATYPE(LoggerOutcome)

class TestLoggerSetup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The interval read from the header is shown as its choice, or as its own text when it is
    // none of them (so that OK keeps it); Cancel writes nothing but gives the live readings back.
    void preselectsAndCancels_data() {
        QTest::addColumn<quint32>("interval");
        QTest::addColumn<QString>("text");
        QTest::newRow("00 27 10: 1 second") << 0x002710u << "1 second";
        QTest::newRow("2D C6 C0: 5 minutes") << 0x2DC6C0u << "5 minutes";
        QTest::newRow("0F 42 40: 100 s") << 0x0F4240u << "100 seconds";
        QTest::newRow("5B 8D 80: 10 minutes") << 0x5B8D80u << "10 minutes";
        QTest::newRow("7A 12 00: 800 s") << 0x7A1200u << "800 seconds";
        QTest::newRow("0D BB A0: 90 s") << 0x0DBBA0u << "90 seconds";
        QTest::newRow("12 4F 80: 2 minutes") << 0x124F80u << "2 minutes";
    }
    void preselectsAndCancels() {
        QFETCH(quint32, interval);
        QFETCH(QString, text);
        MeterSession s;
        QVERIFY(s.start(headerImage(interval)));
        ScriptedUser user;
        QCOMPARE(runLoggerSetup(s.live, s.port, user, FixedTimeClock(), fastTiming()),
                 LoggerOutcome::Cancelled);
        QVERIFY(user.shown);
        QCOMPARE(user.shown->intervalUnits, interval);
        QCOMPARE(RecordingInterval::text(user.shown->intervalUnits), text);
        QCOMPARE(RecordingInterval::parse(text), interval / 10000 * 10000);
        QCOMPARE(user.shown->timeLabel, QDateTime(QDate(2016, 7, 19), QTime(10, 30)));
        QCOMPARE(user.busy, QStringList({"Reading data from multimer.....", ""}));
        QCOMPARE(user.messages, QStringList());
        QCOMPARE(s.live.log, handedBack("02 41 00 00 00 03"));
        QCOMPARE(s.stop().left(256), headerImage(interval));
    }

    // "10 minutes" and 7 Mar 2016 09:05:30 land in the header; the resume command carries the
    // last write's address and value. A write the meter does not echo fails the setup, but
    // the writes after it are still sent.
    void writesTheSettings_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("message");
        QTest::newRow("all echoed") << QStringList() << kWritten;
        QTest::newRow("day not echoed") << QStringList{"--no-echo-at", "5"}
                                        << QStringLiteral("Fail to save settings to multimeter!");
    }
    void writesTheSettings() {
        QFETCH(QStringList, faults);
        QFETCH(QString, message);
        MeterSession s;
        QVERIFY(s.start(headerImage(0x002710), faults));
        ScriptedUser user;
        user.choice = LoggerSetupChoice{"10 minutes", QDate(2016, 3, 7), QTime(9, 5, 30)};
        runLoggerSetup(s.live, s.port, user, FixedTimeClock(), fastTiming());
        QCOMPARE(user.messages, QStringList{message});
        QCOMPARE(user.busy, QStringList({"Reading data from multimer.....", "",
                                         "Writing data to multimer.....", ""}));
        QCOMPARE(s.live.log, handedBack("02 41 00 08 1e 03"));
        const QByteArray memory = s.stop();
        QCOMPARE(memory.mid(13, 3).toHex(' '), "5b 8d 80");
        QCOMPARE(memory.mid(2, 7), QByteArray::fromHex("14100307"
                                                       "09051e"));
    }

    // A text the box holds that is no interval the meter can keep: refused with its reason,
    // nothing written, and the live readings back as after Cancel.
    void refusesIntervalTexts() {
        MeterSession s;
        QVERIFY(s.start(headerImage(0x002710)));
        const QStringList texts{"30 minutes", "1678 seconds", "0 seconds",  "10", "ten seconds",
                                "5 hours",    "1.5 seconds",  "-5 seconds", "",   "10 seconds x"};
        for (const QString& text : texts) {
            ScriptedUser user;
            s.live.log.clear();
            user.choice = LoggerSetupChoice{text, QDate(2020, 1, 1), QTime(1, 2, 3)};
            QCOMPARE(runLoggerSetup(s.live, s.port, user, FixedTimeClock(), fastTiming()),
                     LoggerOutcome::IntervalRefused);
            QCOMPARE(user.messages.size(), 1);
            QVERIFY2(user.messages[0].contains("Nothing was written"), qPrintable(text));
            QCOMPARE(s.live.log, handedBack("02 41 00 00 00 03"));
        }
        QCOMPARE(s.stop().left(256), headerImage(0x002710));
    }

    void acceptsIntervalTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("units");
        QTest::newRow("item") << "20 minutes" << 12000000u;
        QTest::newRow("typed") << " 7 Seconds " << 70000u;
        QTest::newRow("one minute") << "1 minute" << 600000u;
        QTest::newRow("longest in minutes") << "27 minutes" << 16200000u;
        QTest::newRow("longest") << "1677 seconds" << 16770000u;
    }
    void acceptsIntervalTexts() {
        QFETCH(QString, text);
        QFETCH(quint32, units);
        QCOMPARE(RecordingInterval::parse(text), std::optional<quint32>(units));
    }

    // A meter that does not take part gets no resume command; a port that fails mid-way
    // still has the device handed back.
    void setupFailures_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<LoggerOutcome>("outcome");
        QTest::addColumn<QString>("message");
        using O = LoggerOutcome;
        QTest::newRow("C not echoed") << QStringList{"--no-echo-of", "C"} << O::NotOpened
                                      << "Setup error, please check the connection and try again !";
        QTest::newRow("P not echoed") << QStringList{"--no-echo-of", "P"} << O::DumpRefused << "";
        QTest::newRow("header block never whole")
            << QStringList{"--cut-block-always", "0,40"} << O::NoHeader
            << "Fail to load settings from multimeter!";
        QTest::newRow("line gone")
            << QStringList{"--line-gone-after-block", "0"} << O::PortLost
            << "The meter was lost while reading its settings; nothing was written.";
    }
    void setupFailures() {
        QFETCH(QStringList, faults);
        QFETCH(LoggerOutcome, outcome);
        QFETCH(QString, message);
        MeterSession s;
        QVERIFY(s.start(headerImage(0x002710), faults));
        ScriptedUser user;
        user.choice = LoggerSetupChoice{"2 seconds", QDate(2020, 1, 1), QTime(1, 2, 3)};
        QCOMPARE(runLoggerSetup(s.live, s.port, user, FixedTimeClock(), fastTiming()), outcome);
        QCOMPARE(user.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(user.busy.last(), QString()); // the busy note is gone
        if (outcome == LoggerOutcome::PortLost) {
            QVERIFY(s.live.log.contains("openLive") && s.live.log.last() == "startTimer");
        } else {
            QCOMPARE(s.live.log, handedBack());
            QCOMPARE(s.stop().left(256), headerImage(0x002710));
        }
    }

    // A Setup the meter did not see to its end (the meter lost or hung after a few of the
    // bytes) says where it was, and leaves the mark of an unfinished Setup in the header: the
    // next Setup tells the user instead of showing the torn settings as the meter's own, and
    // its writes make the header whole again.
    void tornSetupIsToldNextTime_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<LoggerOutcome>("outcome");
        QTest::addColumn<QString>("message");
        using O = LoggerOutcome;
        QTest::newRow("gone in the interval")
            << QStringList{"--gone-at", "W:3"} << O::PortLost
            << "The meter was lost while writing the interval; the meter's settings may be "
               "incomplete: run Setup again";
        QTest::newRow("gone in the start time")
            << QStringList{"--gone-at", "W:8"} << O::PortLost
            << "The meter was lost while writing the start time; the meter's settings may be "
               "incomplete: run Setup again";
        QTest::newRow("hung in the interval")
            << QStringList{"--silent-at", "W:2"} << O::NotWritten
            << "Fail to save settings to multimeter!";
    }
    void tornSetupIsToldNextTime() {
        QFETCH(QStringList, faults);
        QFETCH(LoggerOutcome, outcome);
        QFETCH(QString, message);
        QByteArray torn;
        {
            MeterSession s;
            QVERIFY(s.start(headerImage(0x186A00), faults)); // 160 s, to become 2 s
            ScriptedUser user;
            user.choice = LoggerSetupChoice{"2 seconds", QDate(2020, 1, 1), QTime(1, 2, 3)};
            QCOMPARE(runLoggerSetup(s.live, s.port, user, FixedTimeClock(), lostMeterTiming(outcome)),
                     outcome);
            QCOMPARE(user.messages, QStringList{message});
            QCOMPARE(user.busy.last(), QString());
            torn = s.stop();
        }
        QCOMPARE(torn.size(), 65536);
        QVERIFY(LoggerImage(torn).setupUnfinished());

        MeterSession s;
        QVERIFY(s.start(torn.left(256)));
        ScriptedUser user;
        user.choice = LoggerSetupChoice{"2 seconds", QDate(2020, 1, 1), QTime(1, 2, 3)};
        QCOMPARE(runLoggerSetup(s.live, s.port, user, FixedTimeClock(), fastTiming()),
                 LoggerOutcome::Written);
        QCOMPARE(user.messages, (QStringList{LoggerMessages::setupUnfinished, kWritten}));
        // The torn time label is not offered as the meter's: today's time stands in for it.
        QVERIFY(user.shown);
        QCOMPARE(user.shown->timeLabel.date(), QDate(2026, 1, 5));
        const QByteArray whole = s.stop();
        QVERIFY(!LoggerImage(whole).setupUnfinished());
        QCOMPARE(whole.mid(2, 7).toHex(' '), "14 14 01 01 01 02 03");
        QCOMPARE(whole.mid(13, 3).toHex(' '), "00 4e 20");
    }

    // An erase that loses the meter says whether the memory is known to be intact: before the
    // erase command went out it is; once it went out, nobody knows.
    void eraseLostMidWay_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("questions");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("erased");
        QTest::newRow("while reading the header")
            << QStringList{"--gone-at", "P:1"} << 0
            << "The meter was lost while reading its memory header; nothing was erased." << false;
        QTest::newRow("before the erase command")
            << QStringList{"--gone-at", "C:2"} << 1
            << "The meter was lost before the erase command was sent; nothing was erased."
            << false;
        QTest::newRow("erasing")
            << QStringList{"--gone-at", "E:1"} << 1
            << "The meter was lost while erasing; whether its memory was erased is not known: "
               "load the data to see what it holds."
            << true;
    }
    void eraseLostMidWay() {
        QFETCH(QStringList, faults);
        QFETCH(int, questions);
        QFETCH(QString, message);
        QFETCH(bool, erased);
        MeterSession s;
        QVERIFY(s.start(oneSetImage(), faults));
        ScriptedUser user;
        QCOMPARE(runMemoryErase(s.live, s.port, user, lostMeterTiming(LoggerOutcome::PortLost)),
                 LoggerOutcome::PortLost);
        QCOMPARE(user.questions.size(), questions);
        QCOMPARE(user.messages, QStringList{message});
        const QByteArray memory = s.stop();
        QCOMPARE(memory.mid(9, 4).toHex(' '), erased ? "00 00 00 ff" : "00 01 01 0d");
    }

    // Erase: the question names what the header says the meter holds (a meter that sends no
    // header gets the plain question); the open command's echo is not needed; the resume
    // command carries the erase's parameter bytes whatever the meter answered, and the dump
    // stop's after No.
    void erases_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<LoggerOutcome>("outcome");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("message");
        const QString held("The meter holds 1 data set, 1 record, not downloaded yet. Erase it?");
        QTest::newRow("C not echoed") << QStringList{"--no-echo-of", "C"} << true
                                      << LoggerOutcome::Erased << held
                                      << "Memory erased.";
        QTest::newRow("nothing echoed") << QStringList{"--no-echo"} << true
                                        << LoggerOutcome::NotErased << "Erase Memory ?"
                                        << "Fail to erase memory !";
        QTest::newRow("No") << QStringList() << false << LoggerOutcome::Declined << held
                            << QString();
    }
    void erases() {
        QFETCH(QStringList, faults);
        QFETCH(bool, confirm);
        QFETCH(LoggerOutcome, outcome);
        QFETCH(QString, question);
        QFETCH(QString, message);
        MeterSession s;
        const QByteArray image = oneSetImage();
        QVERIFY(s.start(image, faults));
        ScriptedUser user;
        user.confirm = confirm;
        QCOMPARE(runMemoryErase(s.live, s.port, user, fastTiming()), outcome);
        QCOMPARE(user.questions, QStringList{question});
        QCOMPARE(user.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(s.live.log, handedBack(confirm ? "02 41 45 45 00 03" : "02 41 00 00 00 03"));
        const QByteArray memory = s.stop();
        if (outcome == LoggerOutcome::Erased) {
            QCOMPARE(memory.mid(9, 4).toHex(' '), "00 00 00 ff");
            QCOMPARE(memory.mid(256, 16), QByteArray(16, '\xFF'));
        } else if (outcome == LoggerOutcome::Declined) {
            QCOMPARE(memory.left(image.size()), image);
        }
    }

    // Refusals send nothing at all.
    void refusesWithoutSending() {
        RecordingLive live;
        MeterPort port;
        ScriptedUser user;
        live.recording = true;
        QCOMPARE(runMemoryErase(live, port, user), LoggerOutcome::MeterRecording);
        QCOMPARE(runLoggerSetup(live, port, user, Clock()), LoggerOutcome::MeterRecording);
        live.connectedFlag = false;
        QCOMPARE(runLoggerSetup(live, port, user, Clock()), LoggerOutcome::NotConnected);
        QCOMPARE(user.messages,
                 QStringList({"The meter is recording data, please stop recording before erasing "
                              "memory.",
                              "The meter is recording data, please stop recording before setting "
                              "up.",
                              "There is no connection with multimeter !"}));
        QCOMPARE(live.log, QStringList());
    }

    // The header read: a bad block is rejected and whatever came with it dropped (a meter sends
    // nothing after a block until it is answered), so only the resend counts; two good blocks
    // are both kept and each answered with Q.
    void headerReadKeepsGoodBlocks() {
        FakeDeviceScope fake;
        auto block = [](char fill) -> QByteArray {
            QByteArray b(64, fill);
            return b + char(LoggerBlock::checksum(b.constData()));
        };
        QByteArray bad = block('a');
        bad[64] = char(bad[64] + 1);
        MeterPort port;
        port.setDeviceName("/dev/fake");
        port.setActive(true);
        fake.device->input = bad + block('x');
        fake.device->onWrite = [&](const QByteArray& command) {
            if (command.at(1) == 'n')
                fake.device->input += block('b') + block('c');
        };
        LoggerCommandBuffer commands;
        const QByteArray image = readLoggerHeaderBlocks(port, commands, Clock(), fastTiming());
        QCOMPARE(image, QByteArray(64, 'b') + QByteArray(64, 'c'));
        QCOMPARE(fake.device->written(), QByteArray::fromHex("026e00000003"
                                                             "025100000003"
                                                             "025100000003"));
    }
};

QTEST_GUILESS_MAIN(TestLoggerSetup)
#include "test_loggersetup.moc"
