// The Telnet codec of network ports: byte streams from a server in, device data, answers and
// negotiation events out; whole and byte by byte alike.
#include "serial/telnet_codec.h"

#include <QTest>

using namespace tqm;
using Event = TelnetCodec::Event;

class TelnetCodecTest : public QObject {
    Q_OBJECT
private slots:
    void feed_data();
    void feed();
    void toTheServer();
};

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

QString names(const QList<Event> &events) {
    static const char *const kNames[] = {"BinaryOut", "BinaryIn", "BinaryRefused", "ComPort",
                                         "ComPortRefused"};
    QStringList out;
    for (const Event e : events)
        out << QLatin1String(kNames[int(e)]);
    return out.join(QLatin1Char(' '));
}

} // namespace

void TelnetCodecTest::feed_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("events");
    QTest::addColumn<bool>("settled");
    // What ser2net 4.3 says on connecting, crossing our own requests: SGA and ECHO refused once.
    QTest::newRow("ser2net greeting")
        << hex("fffb03 fffd03 fffb01 fffe01 fffd00 fffb00 fffd2c") << QByteArray()
        << hex("fffe03 fffc03 fffe01") << "BinaryOut BinaryIn ComPort" << true;
    QTest::newRow("0xFF undoubled")
        << hex("41ffff42ffff") << hex("41ff42ff") << QByteArray() << "" << false;
    QTest::newRow("CR rules never apply")
        << hex("0d000d0a0d") << hex("0d000d0a0d") << QByteArray() << "" << false;
    QTest::newRow("cut after IAC") << hex("41ff") << hex("41") << QByteArray() << "" << false;
    QTest::newRow("server will not send binary")
        << hex("fffc00 fffd00 fffd2c") << QByteArray() << QByteArray()
        << "BinaryRefused BinaryOut ComPort" << false;
    QTest::newRow("server will not take binary")
        << hex("fffe00") << QByteArray() << QByteArray() << "BinaryRefused" << false;
    QTest::newRow("binary taken back") << hex("fffb00 fffc00") << QByteArray() << hex("fffe00")
                                       << "BinaryIn BinaryRefused" << false;
    QTest::newRow("line option refused")
        << hex("fffd00 fffb00 fffe2c") << QByteArray() << QByteArray()
        << "BinaryOut BinaryIn ComPortRefused" << true;
    QTest::newRow("offers refused once") << hex("fffb18 fffb18 fffd1f fffd1f fffc18 fffe1f")
                                         << QByteArray() << hex("fffe18 fffc1f") << "" << false;
    QTest::newRow("server's answers skipped") << hex("fffa2c6500002580fff0 41 fffa2c6bfffffff0 42")
                                              << hex("4142") << QByteArray() << "" << false;
    QTest::newRow("sub-negotiation without end")
        << hex("fffa2c 414243 00ff") << QByteArray() << QByteArray() << "" << false;
    QTest::newRow("sub-negotiation broken by a command")
        << hex("fffa2c01 fffb03 44") << hex("44") << hex("fffe03") << "" << false;
    QTest::newRow("commands ignored")
        << hex("fff1 fff9 fff0 fff3 45") << hex("45") << QByteArray() << "" << false;
}

void TelnetCodecTest::feed() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, reply);
    QFETCH(QString, events);
    QFETCH(bool, settled);
    for (const bool byByte : {false, true}) {
        TelnetCodec codec;
        codec.start();
        TelnetCodec::Output all;
        for (qsizetype i = 0; i < in.size(); i += byByte ? 1 : in.size()) {
            const TelnetCodec::Output out = codec.feed(in.mid(i, byByte ? 1 : in.size()));
            all.data += out.data;
            all.reply += out.reply;
            all.events += out.events;
        }
        QCOMPARE(all.data.toHex(' '), data.toHex(' '));
        QCOMPARE(all.reply.toHex(' '), reply.toHex(' '));
        QCOMPARE(names(all.events), events);
        QCOMPARE(codec.settled(), settled);
    }
}

void TelnetCodecTest::toTheServer() {
    TelnetCodec codec;
    QCOMPARE(codec.start().toHex(' '), hex("fffb00 fffd00 fffb2c").toHex(' '));
    QCOMPARE(codec.lineSettings(LineSettings{}), QByteArray()); // not before the server says yes
    codec.feed(hex("fffd2c"));
    QCOMPARE(codec.lineSettings(LineSettings{}).toHex(' '),
             hex("fffa2c0100002580fff0 fffa2c0208fff0 fffa2c0301fff0 fffa2c0401fff0 "
                 "fffa2c0501fff0")
                 .toHex(' '));
    QCOMPARE(codec.lineSettings(LineSettings{0x1234ff, 'e', 7, QStringLiteral("1.5")}).toHex(' '),
             hex("fffa2c01001234fffffff0 fffa2c0207fff0 fffa2c0303fff0 fffa2c0403fff0 "
                 "fffa2c0501fff0")
                 .toHex(' '));
    QCOMPARE(codec.control(TelnetCodec::DtrOff).toHex(' '), hex("fffa2c0509fff0").toHex(' '));
    QCOMPARE(TelnetCodec::escape(hex("ff00ffff")).toHex(' '), hex("ffff00ffffffff").toHex(' '));
}

QTEST_GUILESS_MAIN(TelnetCodecTest)
#include "test_telnet_codec.moc"
