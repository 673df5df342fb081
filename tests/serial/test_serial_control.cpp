// The serial control's rules, on the in-memory fake: settings, what stays set, failures, events.
#include "serial/cp949.h"
#include "serial/failure.h"
#include "tests/support/fake_serial_control.h"

#include <QSignalSpy>
#include <QTest>

using namespace tqm;

class SerialControlTest : public QObject {
    Q_OBJECT
private slots:
    void settingsParse_data();
    void settingsParse();
    void settingsRejected_data();
    void settingsRejected();
    void valuesSurviveReopen();
    void openAndClosedPortRules();
    void receiveEventAndReadLength();
    void lostLinkClosesAndReopens();
    void cp949_data();
    void cp949();
    void cp949RejectsUnencodable();
};

void SerialControlTest::settingsParse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("baud");
    QTest::addColumn<char>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<QString>("stop");
    QTest::newRow("default") << "9600,n,8,1" << 9600 << 'n' << 8 << "1";
    QTest::newRow("upper parity") << "19200,E,7,2" << 19200 << 'e' << 7 << "2";
    QTest::newRow("one and a half") << "1200,o,5,1.5" << 1200 << 'o' << 5 << "1.5";
    QTest::newRow("mark") << "115200,m,8,1" << 115200 << 'm' << 8 << "1";
}

void SerialControlTest::settingsParse() {
    QFETCH(QString, text);
    const LineSettings line = parseSettings(text);
    QFETCH(int, baud);
    QFETCH(char, parity);
    QFETCH(int, dataBits);
    QFETCH(QString, stop);
    QCOMPARE(line.baud, baud);
    QCOMPARE(line.parity, parity);
    QCOMPARE(line.dataBits, dataBits);
    QCOMPARE(line.stopBits, stop);

    FakeSerialControl port;
    port.setSettings(text);
    QCOMPARE(port.settings(), text); // read back as written
}

void SerialControlTest::settingsRejected_data() {
    QTest::addColumn<QString>("text");
    for (const char *bad :
         {"", "9600", "9600,n,8", "9600,n,8,1,", "abc,n,8,1", "9600,x,8,1", "9600,n,9,1",
          "9600,n,3,1", "9600,n,8,3", "-9600,n,8,1", "9600,,8,1", "9600,nn,8,1", "9600;n;8;1"})
        QTest::newRow(bad) << QString::fromLatin1(bad);
}

void SerialControlTest::settingsRejected() {
    QFETCH(QString, text);
    FakeSerialControl port;
    port.setSettings(QStringLiteral("9600,n,8,1"));
    QVERIFY_THROWS_EXCEPTION(Failure, port.setSettings(text));
    QCOMPARE(port.settings(), QStringLiteral("9600,n,8,1")); // a rejected string changes nothing
}

// Catches a value lost on reopening, and modem lines set while closed but not applied on open.
void SerialControlTest::valuesSurviveReopen() {
    FakeSerialControl port;
    port.setDTREnable(true); // closed: remembered only
    port.setRTSEnable(false);
    QCOMPARE(port.lineDtr, false);
    port.lineRts = true; // as an OS would raise it on open
    port.setCommPort(3);
    port.setSettings(QStringLiteral("9600,n,8,1"));
    port.setRThreshold(1);
    port.setInputMode(1);
    port.setPortOpen(true);
    QCOMPARE(port.lineDtr, true);
    QCOMPARE(port.lineRts, false);
    port.setInputLen(0);
    port.setDTREnable(false);
    QCOMPARE(port.lineDtr, false);
    port.setRTSEnable(true);
    port.setPortOpen(false);
    port.setCommPort(5);
    port.lineDtr = true;
    port.lineRts = false;
    port.setPortOpen(true);
    QCOMPARE(port.lineDtr, false);
    QCOMPARE(port.lineRts, true);
    QCOMPARE(port.commPort(), 5);
    QCOMPARE(port.settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(port.rThreshold(), 1);
    QCOMPARE(port.inputMode(), 1);
    QCOMPARE(port.inputLen(), 0);
    QCOMPARE(port.dtrEnable(), false);
    QCOMPARE(port.rtsEnable(), true);
    QCOMPARE(port.deviceLog, QStringList({"open 3", "close", "open 5"}));
}

void SerialControlTest::openAndClosedPortRules() {
    FakeSerialControl port;
    QVERIFY_THROWS_EXCEPTION(Failure, port.output(QStringLiteral("\x1b+R")));
    QVERIFY_THROWS_EXCEPTION(Failure, port.input());
    QVERIFY(port.handOvers.isEmpty());
    port.setCommPort(2);
    port.setPortOpen(true);
    QVERIFY_THROWS_EXCEPTION(Failure, port.setCommPort(4));
    QCOMPARE(port.commPort(), 2);
    QVERIFY_THROWS_EXCEPTION(Failure, port.setPortOpen(true));
    QVERIFY(port.portOpen());
    port.setPortOpen(false);
    port.setPortOpen(false); // closing a closed port is harmless
    QVERIFY(!port.portOpen());
    port.failingPorts = {4};
    port.setCommPort(4);
    QVERIFY_THROWS_EXCEPTION(Failure, port.setPortOpen(true));
    QVERIFY(!port.portOpen());
    QVERIFY_THROWS_EXCEPTION(Failure, port.setCommPort(0));
    QVERIFY_THROWS_EXCEPTION(Failure, port.setCommPort(17));
}

void SerialControlTest::receiveEventAndReadLength() {
    FakeSerialControl port;
    port.setPortOpen(true);
    QSignalSpy events(&port, &SerialControl::OnComm);
    port.deliver("x"); // threshold 0: no receive events
    QCOMPARE(events.count(), 0);
    port.setRThreshold(2);
    port.deliver("y"); // two waiting now
    QCOMPARE(events.count(), 1);
    QCOMPARE(port.commEvent(), 2);
    QCOMPARE(port.input(), QByteArray("xy"));
    port.raise(1008);
    QCOMPARE(port.commEvent(), 1008);
    port.deliver("abcdef");
    port.setInputLen(4);
    QCOMPARE(port.input(), QByteArray("abcd"));
    port.setInputLen(0);
    QCOMPARE(port.input(), QByteArray("ef"));
    QCOMPARE(port.input(), QByteArray());
}

void SerialControlTest::lostLinkClosesAndReopens() {
    FakeSerialControl port;
    port.setCommPort(2);
    port.setDTREnable(true);
    port.setRTSEnable(true);
    port.setPortOpen(true);
    QSignalSpy lost(&port, &SerialControl::linkLost);
    QSignalSpy back(&port, &SerialControl::linkRestored);
    port.loseDevice(QStringLiteral("gone"));
    port.loseDevice(QStringLiteral("gone again")); // reported once
    QCOMPARE(lost.count(), 1);
    QVERIFY(!port.portOpen());
    QVERIFY_THROWS_EXCEPTION(Failure, port.output(QStringLiteral("\x1b+T")));
    port.lineDtr = port.lineRts = false;
    port.restoreDevice();
    QCOMPARE(back.count(), 1);
    QVERIFY(port.portOpen());
    QCOMPARE(port.commPort(), 2);
    QCOMPARE(port.lineDtr, true);
    QCOMPARE(port.lineRts, true);
}

void SerialControlTest::cp949_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("control and ascii")
        << QStringLiteral("\x1b+P3\r") << QByteArray::fromHex("1b2b50330d");
    QTest::newRow("backslash stays 5C") << QStringLiteral("\\") << QByteArray::fromHex("5c");
    QTest::newRow("hangul") << QStringLiteral("영문") << QByteArray::fromHex("bfb5b9ae");
    QTest::newRow("all hangul of the lcd text")
        << QStringLiteral("자한글동해물과백두산")
        << QByteArray::fromHex("c0dac7d1b1dbb5bfc7d8b9b0b0fab9e9b5cebbea");
}

void SerialControlTest::cp949() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeCp949(text).toHex(' '), bytes.toHex(' '));
}

void SerialControlTest::cp949RejectsUnencodable() {
    QVERIFY_THROWS_EXCEPTION(Failure, encodeCp949(QStringLiteral("A\U0001F600B")));
    FakeSerialControl port;
    port.setPortOpen(true);
    QVERIFY_THROWS_EXCEPTION(Failure, port.output(QStringLiteral("\x1b+W\U0001F600\r")));
    QVERIFY(port.handOvers.isEmpty()); // nothing half-sent
}

QTEST_GUILESS_MAIN(SerialControlTest)
#include "test_serial_control.moc"
