// Tests of the simulated TQM-810: splitting, reactions, reply files, the pty line, the program.
#include "sim/pty_device.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using namespace tqm::sim;
using namespace Qt::StringLiterals;

namespace {

const char *const kLcd = "1b2b57bfb5b9ae283136c0da290a31323334353637383930313233343536373839300a"
                         "c7d1b1db2838c0da290ab5bfc7d8b9b0b0fa20b9e9b5cebbea0d";
const char *const kLcdText = "bfb5b9ae283136c0da290a31323334353637383930313233343536373839300a"
                             "c7d1b1db2838c0da290ab5bfc7d8b9b0b0fa20b9e9b5cebbea";
const char *const kLetters = "4142434445464748494a4b4c4d4e4f505152535455565758595a";

// Every frame the console sends: name, bytes, command code, argument bytes.
const struct {
    const char *name, *hex;
    char code;
    const char *args;
} kFrames[] = {
    {"reset", "1b2b52", 'R', ""},
    {"back-light off", "1b2b67", 'g', ""},
    {"back-light on", "1b2b47", 'G', ""},
    {"version", "1b2b23", '#', ""},
    {"aux off", "1b2b79", 'y', ""},
    {"aux on", "1b2b59", 'Y', ""},
    {"sensor", "1b2b4e", 'N', ""},
    {"memory read", "1b2b54", 'T', ""},
    {"point increment", "1b2b48", 'H', ""},
    {"relay", "1b2b50330d", 'P', "33"},
    {"lcd", kLcd, 'W', kLcdText},
    {"clock", "1b2b583037303931313135303430350d", 'X', "303730393131313530343035"},
    {"led end", "1b2b450d", 'E', ""},
    {"red", "1b2b4c3330300d", 'L', "333030"},
    {"green", "1b2b4c3033300d", 'L', "303330"},
    {"buzzer", "1b2b4c3030330d", 'L', "303033"},
    {"all outputs", "1b2b4c3333330d", 'L', "333333"},
    {"data send", kLetters, 'A', kLetters},
};

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

// Feeds the chunks; returns the frames' codes and all skipped bytes, joined.
std::pair<QByteArray, QByteArray> split(const QList<QByteArray> &chunks,
                                        QList<QByteArray> *raws = nullptr) {
    FrameSplitter splitter;
    QByteArray codes, skipped;
    for (const QByteArray &chunk : chunks) {
        for (const SplitEvent &e : splitter.feed(chunk)) {
            if (e.skipped)
                skipped += e.skip.bytes;
            else
                codes += e.frame.code;
            if (raws && !e.skipped)
                raws->append(e.frame.raw);
        }
    }
    return {codes, skipped};
}

QByteArray drain(int fd, QByteArray &got) {
    char buf[256];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        got.append(buf, n);
    return got;
}

} // namespace

class SimTest : public QObject {
    Q_OBJECT
private slots:
    void splitsEachFrame_data();
    void splitsEachFrame();
    void sameFramesAtEverySplitPoint();
    void skipsGarbage_data();
    void skipsGarbage();
    void capsRunawayLcdText();
    void reacts_data();
    void reacts();
    void keepsLcdClockAndReadPoint();
    void replyFileOverrides();
    void replyFileErrors_data();
    void replyFileErrors();
    void ptyRoundTrip_data();
    void ptyRoundTrip();
    void simProgram();
};

void SimTest::splitsEachFrame_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<char>("code");
    QTest::addColumn<QByteArray>("args");
    for (const auto &f : kFrames)
        QTest::newRow(f.name) << hex(f.hex) << f.code << hex(f.args);
}

void SimTest::splitsEachFrame() {
    QFETCH(QByteArray, bytes);
    QFETCH(char, code);
    QFETCH(QByteArray, args);
    FrameSplitter splitter;
    const QList<SplitEvent> events = splitter.feed(bytes);
    QCOMPARE(events.size(), 1);
    QVERIFY(!events[0].skipped);
    QCOMPARE(events[0].frame, (Frame{code, args, bytes}));
    QCOMPARE(splitter.buffered(), 0);
}

// A read may end anywhere: inside the lead-in, the digits, a Korean character or the letter run.
void SimTest::sameFramesAtEverySplitPoint() {
    QByteArray stream;
    QList<QByteArray> expected;
    for (const auto &f : kFrames) {
        stream += hex(f.hex);
        expected += hex(f.hex);
    }
    for (qsizetype i = 0; i <= stream.size(); ++i) {
        for (qsizetype j = i; j <= stream.size(); ++j) {
            QList<QByteArray> raws;
            const auto [codes, skipped] =
                split({stream.first(i), stream.sliced(i, j - i), stream.sliced(j)}, &raws);
            QVERIFY2(skipped.isEmpty() && raws == expected,
                     qPrintable(QStringLiteral("cut at %1, %2").arg(i).arg(j)));
        }
    }
    QList<QByteArray> bytes;
    for (char c : stream)
        bytes += QByteArray(1, c);
    QList<QByteArray> raws;
    split(bytes, &raws);
    QCOMPARE(raws, expected);
}

void SimTest::skipsGarbage_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<QByteArray>("skipped");
    QTest::newRow("stray bytes") << hex("00ff1b2b47") << QByteArray("G") << hex("00ff");
    QTest::newRow("unknown code") << hex("1b2b511b2b52") << QByteArray("R") << hex("1b2b51");
    QTest::newRow("ESC ESC") << hex("1b1b2b47") << QByteArray("G") << hex("1b");
    QTest::newRow("ESC then letter A") << hex("1b411b2b52") << QByteArray("R") << hex("1b41");
    QTest::newRow("partial ABC") << hex("4142431b2b59") << QByteArray("Y") << hex("414243");
    QTest::newRow("run restarts at A")
        << hex("4142") + hex(kLetters) << QByteArray("A") << hex("4142");
    QTest::newRow("relay letter") << hex("1b2b50510d1b2b47") << QByteArray("G")
                                  << hex("1b2b50510d");
    QTest::newRow("relay no CR") << hex("1b2b50331b2b47") << QByteArray("G") << hex("1b2b5033");
    QTest::newRow("clock short") << hex("1b2b5830370d1b2b52") << QByteArray("R")
                                 << hex("1b2b5830370d");
    QTest::newRow("E no CR") << hex("1b2b451b2b47") << QByteArray("G") << hex("1b2b45");
    QTest::newRow("LCD cut by ESC")
        << hex("1b2b5741421b2b47") << QByteArray("G") << hex("1b2b574142");
    QTest::newRow("CR LF after frame")
        << hex("1b2b470d0a1b2b47") << QByteArray("GG") << hex("0d0a");
}

void SimTest::skipsGarbage() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, codes);
    QFETCH(QByteArray, skipped);
    QCOMPARE(split({bytes}), std::make_pair(codes, skipped));
}

void SimTest::capsRunawayLcdText() {
    const QByteArray lead = hex("1b2b57");
    QCOMPARE(split({lead + QByteArray(1024, 'a') + "\r"}).first, QByteArray("W"));

    FrameSplitter splitter;
    const QList<SplitEvent> over = splitter.feed(lead + QByteArray(1025, 'a') + "\r\x1b+G");
    QVERIFY(over[0].skipped);
    QCOMPARE(over[0].skip.bytes.size(), 3 + 1025);
    QCOMPARE(over.last().frame.code, 'G');

    splitter.feed(lead);
    for (int i = 0; i < 200; ++i) {
        splitter.feed(QByteArray(1000, 'b'));
        QVERIFY(splitter.buffered() <= 1027);
    }
}

void SimTest::reacts_data() {
    QTest::addColumn<char>("code");
    QTest::addColumn<QByteArray>("args");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray ack = hex("06");
    QTest::newRow("reset") << 'R' << QByteArray()
                           << "reset: LCD cleared, back-light, aux port, relay and LEDs off" << ack;
    QTest::newRow("back-light off") << 'g' << QByteArray() << "back-light off" << ack;
    QTest::newRow("back-light on") << 'G' << QByteArray() << "back-light on" << ack;
    QTest::newRow("version") << '#' << QByteArray() << "version asked"
                             << hex("0254514d2d3831302053494d554c41544f522056312e3030030d");
    QTest::newRow("aux off") << 'y' << QByteArray() << "aux port off" << ack;
    QTest::newRow("aux on") << 'Y' << QByteArray() << "aux port on" << ack;
    QTest::newRow("sensor") << 'N' << QByteArray() << "sensor status asked" << hex("0230030d");
    QTest::newRow("relay 3") << 'P' << QByteArray("3") << "relay on for 3 s" << ack;
    QTest::newRow("relay 0") << 'P' << QByteArray("0") << "relay off" << ack;
    QTest::newRow("clock") << 'X' << QByteArray("070911150405")
                           << "clock set to 2007-09-11 15:04:05" << ack;
    QTest::newRow("clock 2000") << 'X' << QByteArray("000102000009")
                                << "clock set to 2000-01-02 00:00:09" << ack;
    QTest::newRow("clock month 13") << 'X' << QByteArray("071311150405")
                                    << "clock not set: 071311150405 is no date and time" << ack;
    QTest::newRow("led end") << 'E' << QByteArray() << "LED/buzzer pattern ended" << ack;
    QTest::newRow("buzzer") << 'L' << QByteArray("003")
                            << "LED/buzzer: red 0, green 0, buzzer 3 on/off cycles" << ack;
    QTest::newRow("data") << kDataSend << hex(kLetters)
                          << "data received: ABCDEFGHIJKLMNOPQRSTUVWXYZ" << ack;
    QTest::newRow("lcd control char") << 'W' << QByteArray("a\tb") << "LCD 1: a\\x09b" << ack;
}

void SimTest::reacts() {
    QFETCH(char, code);
    QFETCH(QByteArray, args);
    QFETCH(QString, line);
    QFETCH(QByteArray, reply);
    Device device;
    const Reaction r = device.handle({code, args, {}});
    QCOMPARE(r.line, line);
    QCOMPARE(r.reply.toHex(), reply.toHex());
}

void SimTest::keepsLcdClockAndReadPoint() {
    Device device;
    const Reaction r = device.handle({'W', hex(kLcdText), hex(kLcd)});
    QCOMPARE(device.lcdLines(), (QStringList{u"영문(16자)"_s, u"12345678901234567890"_s,
                                             u"한글(8자)"_s, u"동해물과 백두산"_s}));
    QCOMPARE(r.line,
             u"LCD 1: 영문(16자) | 2: 12345678901234567890 | 3: 한글(8자) | 4: 동해물과 백두산"_s);

    device.handle({'X', "070911150405", {}});
    QCOMPARE(device.clock(), QDateTime(QDate(2007, 9, 11), QTime(15, 4, 5), Qt::UTC));
    device.handle({'X', "079911150405", {}});
    QCOMPARE(device.clock(), QDateTime(QDate(2007, 9, 11), QTime(15, 4, 5), Qt::UTC));

    device.handle({'G', {}, {}});
    device.handle({'L', "333", {}});
    device.handle({'R', {}, {}});
    QVERIFY(device.lcdLines().isEmpty() && !device.backLight());
    QCOMPARE(device.ledPattern(), LedPattern{});
    QVERIFY(device.clock().isValid());

    const QByteArray first = device.handle({'T', {}, {}}).reply;
    QCOMPARE(device.handle({'H', {}, {}}).line, u"memory read point now 0002"_s);
    const QByteArray second = device.handle({'T', {}, {}}).reply;
    QCOMPARE(first.toHex(), "02524543303030312053494d554c41544544204d454d4f52592044415441030d");
    QCOMPARE(second.toHex(), "02524543303030322053494d554c41544544204d454d4f52592044415441030d");
}

void SimTest::replyFileOverrides() {
    const ReplyFile file = parseReplyFile("# technician's replies\n"
                                          "+# = \"\\x02V9\\x03\\r\"   # after the value\n"
                                          "  +N=\"\\x021\\x03\\r\"\r\n"
                                          "+T = \"\\x02R\\p#\\x03\"\n"
                                          "DATA = \"\"\n"
                                          "+R = \"a\\\\b\\\"c\\e\\0\\t\\n\"\n"
                                          "+W = \"한\"\n");
    QVERIFY2(file.ok(), qPrintable(file.message(u"replies"_s)));
    QCOMPARE(file.table.reply('#', 1).toHex(), "025639030d");
    QCOMPARE(file.table.reply('N', 1).toHex(), "0231030d");
    QCOMPARE(file.table.reply('T', 12).toHex(), "0252303031322303");
    QCOMPARE(file.table.reply('A', 1).toHex(), "");
    QCOMPARE(file.table.reply('R', 1).toHex(), "615c6222631b00090a");
    QCOMPARE(file.table.reply('W', 1).toHex(), "c7d1");
    QCOMPARE(file.table.reply('G', 1).toHex(), "06");

    const ReplyFile example = loadReplyFile(QStringLiteral(TQM_SIM_EXAMPLE));
    QVERIFY2(example.ok(), qPrintable(example.message(u"example"_s)));

    const ReplyFile missing = loadReplyFile(u"/nonexistent/replies.txt"_s);
    QCOMPARE(missing.errorLine, 0);
    QVERIFY(missing.message(u"r"_s).startsWith(u"r: cannot read"_s));
}

void SimTest::replyFileErrors_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown code") << QByteArray("# ok\n+Q = \"x\"\n")
                                  << "r:2: unknown command code \"+Q\"";
    QTest::newRow("no key") << QByteArray("N = \"x\"") << "r:1: an entry starts with +CODE or DATA";
    QTest::newRow("no equals") << QByteArray("+N \"x\"") << "r:1: expected '=' after +N";
    QTest::newRow("unquoted") << QByteArray("+N = 06")
                              << "r:1: expected the reply in double quotes after '='";
    QTest::newRow("unterminated") << QByteArray("+N = \"\\x02") << "r:1: missing closing '\"'";
    QTest::newRow("bad escape") << QByteArray("+N = \"\\q\"") << "r:1: unknown escape \"\\q\"";
    QTest::newRow("short hex") << QByteArray("+N = \"\\x2\"") << "r:1: \\x needs two hex digits";
    QTest::newRow("backslash last")
        << QByteArray("+N = \"\\") << "r:1: '\\' at the end of the line";
    QTest::newRow("trailing text")
        << QByteArray("+N = \"a\" b") << "r:1: unexpected text after the closing '\"'";
    QTest::newRow("duplicate") << QByteArray("+N = \"a\"\r\n\r\n+N = \"b\"")
                               << "r:3: +N already given on line 1";
    QTest::newRow("not UTF-8") << QByteArray("\n+N = \"\xff\"") << "r:2: not UTF-8 text";
    QTest::newRow("not CP949") << QByteArray("+N = \"\xf0\x9f\x98\x80\"")
                               << "r:1: a character that code page 949 cannot send";
}

void SimTest::replyFileErrors() {
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    const ReplyFile file = parseReplyFile(text);
    QCOMPARE(file.message(u"r"_s), message);
    QCOMPARE(file.table.reply('N', 1).toHex(), "0230030d"); // nothing of a bad file applies
}

void SimTest::ptyRoundTrip_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("replies"); // a reply file; empty: the built-in replies
    QTest::newRow("sensor") << hex("1b2b4e") << hex("0230030d") << "sensor status asked"
                            << ""_ba;
    QTest::newRow("lcd")
        << hex(kLcd) << hex("06")
        << u"LCD 1: 영문(16자) | 2: 12345678901234567890 | 3: 한글(8자) | 4: 동해물과 백두산"_s
        << QByteArray();
    QTest::newRow("memory dump past 64 KiB, whole")
        << hex("1b2b54") << QByteArray(70000, 'D') << "memory record 0001 sent"
        << "+T = \"" + QByteArray(70000, 'D') + '"';
}

// The console's CR and LF cross the line unchanged both ways, and nothing echoes back; a frame
// may come in pieces, and the console closing its port must not end the simulation.
void SimTest::ptyRoundTrip() {
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    QFETCH(QString, line);
    QFETCH(QByteArray, replies);
    PtyDevice pty;
    QVERIFY2(pty.open(), qPrintable(pty.errorString()));
    if (!replies.isEmpty())
        pty.device().setReplies(parseReplyFile(replies).table);
    QSignalSpy lines(&pty, &PtyDevice::stateLine);
    QSignalSpy frames(&pty, &PtyDevice::frameReceived);
    QSignalSpy failed(&pty, &PtyDevice::failed);
    const QByteArray path = QFile::encodeName(pty.slavePath());
    for (const qsizetype pieceSize : {frame.size(), qsizetype(7)}) {
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        for (qsizetype at = 0; at < frame.size(); at += pieceSize) {
            const QByteArray piece = frame.mid(at, pieceSize);
            QCOMPARE(::write(fd, piece.constData(), size_t(piece.size())), piece.size());
            QCoreApplication::processEvents();
        }
        QByteArray got;
        QTRY_COMPARE_WITH_TIMEOUT(drain(fd, got).toHex(), reply.toHex(), 10000);
        QCOMPARE(lines.size(), frames.size());
        QCOMPARE(lines.last()[0].toString(), line);
        QCOMPARE(frames.last()[0].value<Frame>().raw.toHex(), frame.toHex());
        ::close(fd);
        QCoreApplication::processEvents(); // a hang-up, if the line had one, is seen here
    }
    QCOMPARE(lines.size(), 2);
    QCOMPARE(failed.size(), 0);
}

void SimTest::simProgram() {
    QTemporaryDir tmp;
    const QString ports = tmp.filePath(u"ports"_s);
    QProcess sim;
    sim.start(QStringLiteral(TQM_SIM_PROGRAM), {u"--ports-dir"_s, ports, u"--com"_s, u"3"_s});
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 10000);
    const QString path = QString::fromUtf8(sim.readLine()).trimmed();
    QVERIFY2(path.startsWith(u"/dev/pts/"_s), qPrintable(path));
    const QString link = ports + u"/com3"_s;
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "\x1b+T", 3), 3);
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT(drain(fd, got).endsWith("\x03\r"), 10000);
    ::close(fd);
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 10000);
    QCOMPARE(sim.readLine(), "memory record 0001 sent\n");

    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());

    sim.start(QStringLiteral(TQM_SIM_PROGRAM), {u"--help"_s});
    QVERIFY(sim.waitForFinished(10000));
    const QString help = QString::fromUtf8(sim.readAllStandardOutput()).simplified();
    QVERIFY(help.contains(u"SIMULATED"_s) && help.contains(u"invented stand-ins"_s));

    // A plain file where the link would go, and a bad reply file: both left as they are.
    QFile plain(tmp.filePath(u"com2"_s));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QFile bad(tmp.filePath(u"replies.txt"_s));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("+N = \"ok\"\n+Q = \"x\"\n");
    bad.close();

    sim.start(QStringLiteral(TQM_SIM_PROGRAM), {u"--ports-dir"_s, tmp.path(), u"--com"_s, u"2"_s});
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 1);
    QVERIFY(!QFileInfo(plain.fileName()).isSymLink());

    sim.start(QStringLiteral(TQM_SIM_PROGRAM), {u"--replies"_s, bad.fileName()});
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardError().contains("replies.txt:2: unknown command code"));
}

QTEST_GUILESS_MAIN(SimTest)
#include "test_sim.moc"
