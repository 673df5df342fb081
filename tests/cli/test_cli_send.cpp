// tqm810's commands that put frames on the line (send, lcd, clock): the exact bytes, the answer
// as printed, when an answer ends, and the exit statuses, against a pseudo-terminal the test
// reads and against the simulated device.
#include "sim/pty_device.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/expected_commands.h"
#include "tests/support/pty_pair.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tqm::test;

class CliSendTest : public QObject {
    Q_OBJECT
private slots:
    void everyCommandsBytes_data();
    void everyCommandsBytes();
    void answerPrinted_data();
    void answerPrinted();
    void staleBytesDropped();
    void answerEnds_data();
    void answerEnds();
    void expectations_data();
    void expectations();
    void severalCommandsLastAnswerChecked();
    void lcdLines_data();
    void lcdLines();
    void lcdRefusals_data();
    void lcdRefusals();
    void clockAt();
    void clockRefusals_data();
    void clockRefusals();
    void usageErrors_data();
    void usageErrors();
    void statuses_data();
    void statuses();
    void absentPorts_data();
    void absentPorts();
    void heldPort_data();
    void heldPort();
    void permissionDenied();
    void lostPort();
};

namespace {

QByteArray hex(const char *spaced) {
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

// The bytes tqm810 put on the line while it ran with nothing answering.
QByteArray sentAlone(const QStringList &args, CliResult *result = nullptr) {
    PtyPair far;
    Cli cli;
    QByteArray got;
    const CliResult r =
        cli.run(QStringList{args.first(), QStringLiteral("--device"), far.slavePath(),
                            QStringLiteral("--wait"), QStringLiteral("100")} +
                args.mid(1));
    got = far.drain(200);
    if (result)
        *result = r;
    return got;
}

// The simulated device on a pseudo-terminal, answering while tqm810 runs.
struct Simulated {
    tqm::sim::PtyDevice device;
    Cli cli;

    bool open() { return device.open(); }
    CliResult run(const QStringList &args) {
        return cli.run(QStringList{args.first(), QStringLiteral("--device"), device.slavePath()} +
                       args.mid(1));
    }
};

} // namespace

void CliSendTest::everyCommandsBytes_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("bytes");
    for (const ExpectedCommand &c : kExpectedCommands)
        if (QByteArray(c.control) != "cmdtimessetting") // stamped now: clockAt has its bytes
            QTest::newRow(c.control) << c.control << c.bytes();
    // The same by alias, one of each shape.
    for (const ExpectedCommand &c :
         {kExpectedCommands[3], kExpectedCommands[10], kExpectedCommands[15]})
        QTest::addRow("alias %s", c.alias) << c.alias << c.bytes();
}

// Catches a frame that differs by one byte from what the console sends for the same command.
void CliSendTest::everyCommandsBytes() {
    QFETCH(QString, command);
    QFETCH(QByteArray, bytes);
    CliResult result;
    QCOMPARE(sentAlone({QStringLiteral("send"), command}, &result).toHex(' '), bytes.toHex(' '));
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, QStringLiteral("\n")); // no answer: an empty line
    QCOMPARE(result.err, QString());
}

void CliSendTest::answerPrinted_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("printed");
    QTest::newRow("rendered") << QStringList() << hex("02 41 1B 7F 03 0D BF B5")
                              << QStringLiteral("[STX]A[ESC][DEL][ETX][CR]\u00BF\u00B5\n");
    QTest::newRow("rendered, no-code bytes")
        << QStringList() << hex("81 A0 AD 20") << QStringLiteral("\u0101\u0120\u012D \n");
    QTest::newRow("hex") << QStringList{"--hex"} << hex("02 41 1B 7F 03 0D BF B5")
                         << QStringLiteral("02 41 1B 7F 03 0D BF B5\n");
}

// Catches an answer printed other than the receive box shows it (joined bytes, lost controls).
void CliSendTest::answerPrinted() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, answer);
    QFETCH(QString, printed);
    PtyPair far;
    Cli cli;
    QByteArray sent;
    const CliResult r = cli.run(
        QStringList{"send", "--device", far.slavePath(), "--wait", "20000", "--idle", "200"} +
            options + QStringList{"version"},
        [&] {
            sent = far.read(3);
            far.write(answer);
        });
    QCOMPARE(sent.toHex(' '), QByteArray("1b 2b 23"));
    QCOMPARE(r.out, printed);
    QCOMPARE(r.status, 0);
}

// Catches bytes left on the line from before taken for the answer to the new command.
void CliSendTest::staleBytesDropped() {
    PtyPair far;
    far.write(hex("02 4F 4C 44 03"));
    Cli cli;
    const CliResult r = cli.run(
        {"send", "--device", far.slavePath(), "--wait", "20000", "--expect", "[ACK]", "reset"},
        [&] {
            QCOMPARE(far.read(3).toHex(' '), QByteArray("1b 2b 52"));
            far.write(hex("06"));
        });
    QCOMPARE(r.out, QStringLiteral("[ACK]\n"));
    QCOMPARE(r.status, 0);
}

void CliSendTest::answerEnds_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("answer"); // written at once after the frame
    QTest::addColumn<QString>("printed");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("maxMs"); // far below the longest wait when something else ends it
    // Quiet after a byte ends the answer long before --wait would.
    QTest::newRow("idle") << QStringList{"--idle", "100", "--wait", "60000"} << hex("06")
                          << "[ACK]\n"
                          << 0 << 20000;
    // Nothing comes: --wait ends it with an empty line.
    QTest::newRow("wait, no answer") << QStringList{"--wait", "300"} << QByteArray() << "\n"
                                     << 0 << 20000;
    // The expectation met ends it at once, however long --idle is; later bytes are dropped.
    QTest::newRow("expect met ends it")
        << QStringList{"--idle", "60000", "--wait", "60000", "--expect", "[ACK]"} << hex("06 15")
        << "[ACK]\n"
        << 0 << 20000;
    // A pattern met by the first bytes ends the answer there.
    QTest::newRow("match met by a prefix")
        << QStringList{"--idle", "60000", "--wait", "60000", "--match", "\\[STX\\].*"}
        << hex("02 31 03 0D") << "[STX]\n"
        << 0 << 20000;
    QTest::newRow("match met ends it")
        << QStringList{"--idle", "60000", "--wait", "60000", "--match", "\\[STX\\].*\\[ETX\\]"}
        << hex("02 31 03 0D") << "[STX]1[ETX]\n"
        << 0 << 20000;
    // No answer where one was expected.
    QTest::newRow("wait, expected answer missing")
        << QStringList{"--wait", "300", "--expect", "[ACK]"} << QByteArray() << "\n"
        << 1 << 20000;
}

// Catches an answer that runs to --wait despite quiet or a met expectation, or never ends.
void CliSendTest::answerEnds() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, answer);
    QFETCH(QString, printed);
    QFETCH(int, status);
    QFETCH(int, maxMs);
    PtyPair far;
    Cli cli;
    QElapsedTimer timer;
    timer.start();
    const CliResult r = cli.run(
        QStringList{"send", "--device", far.slavePath()} + options + QStringList{"sensor"}, [&] {
            QCOMPARE(far.read(3).toHex(' '), QByteArray("1b 2b 4e"));
            if (!answer.isEmpty())
                far.write(answer);
        });
    QVERIFY2(timer.elapsed() < maxMs, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(r.out, printed);
    QCOMPARE(r.status, status);
}

void CliSendTest::expectations_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err");
    QTest::newRow("expect met") << QStringList{"--expect", "[STX]0[ETX][CR]", "sensor"}
                                << "[STX]0[ETX][CR]\n"
                                << 0 << "";
    QTest::newRow("expect not met")
        << QStringList{"--expect", "[STX]1[ETX][CR]", "sensor"} << "[STX]0[ETX][CR]\n"
        << 1 << "tqm810: expected \"[STX]1[ETX][CR]\", got \"[STX]0[ETX][CR]\"\n";
    QTest::newRow("match met") << QStringList{"--match", ".*SIMULATOR V[0-9.]+\\[ETX\\]\\[CR\\]",
                                              "version"}
                               << "[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\n"
                               << 0 << "";
    // The whole answer must match, not a part of it.
    QTest::newRow("match only a part") << QStringList{"--match", "SIMULATOR", "version"}
                                       << "[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\n"
                                       << 1
                                       << "tqm810: \"[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\" does "
                                          "not match \"SIMULATOR\"\n";
    QTest::newRow("expect in hex") << QStringList{"--hex", "--expect", "06", "relay"} << "06\n"
                                   << 0 << "";
}

// Catches a wrong verdict on the answer from the simulated device, in either direction.
void CliSendTest::expectations() {
    QFETCH(QStringList, args);
    QFETCH(QString, out);
    QFETCH(int, status);
    QFETCH(QString, err);
    Simulated sim;
    QVERIFY(sim.open());
    const CliResult r = sim.run(QStringList{"send", "--wait", "20000"} + args);
    QCOMPARE(r.out, out);
    QCOMPARE(r.err, err);
    QCOMPARE(r.status, status);
}

// Catches the expectation applied to the first answer instead of the last, or answers mixed up.
void CliSendTest::severalCommandsLastAnswerChecked() {
    Simulated sim;
    QVERIFY(sim.open());
    const CliResult r =
        sim.run({"send", "--wait", "20000", "--expect", "[ACK]", "version", "sensor", "aux-on"});
    QCOMPARE(r.out, QStringLiteral("[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\n[STX]0[ETX][CR]\n"
                                   "[ACK]\n"));
    QCOMPARE(r.status, 0);
    QVERIFY(sim.device.device().auxPort());
}

void CliSendTest::lcdLines_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Korean, a missing line in the middle and at the end")
        << QStringList{"영문(16자)", "", "한글(8자)"}
        << hex("1B 2B 57 BF B5 B9 AE 28 31 36 C0 DA 29 0A 0A C7 D1 B1 DB 28 38 C0 DA 29 0A 0D");
    QTest::newRow("four lines, the last at 20 bytes")
        << QStringList{"A", "B", "C", "동해물과 백두산 1234"}
        << hex("1B 2B 57 41 0A 42 0A 43 0A B5 BF C7 D8 B9 B0 B0 FA 20 B9 E9 B5 CE BB EA 20 31 32 "
               "33 34 0D");
    QTest::newRow("one line") << QStringList{"OK"} << hex("1B 2B 57 4F 4B 0A 0A 0A 0D");
}

// Catches operator text in the wrong code page, lines out of place, or a wrong head or end.
void CliSendTest::lcdLines() {
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, bytes);
    CliResult r;
    QCOMPARE(sentAlone(QStringList{"lcd"} + lines, &r).toHex(' '), bytes.toHex(' '));
    QCOMPARE(r.status, 0);
}

void CliSendTest::lcdRefusals_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("err");
    QTest::newRow("no code page 949 code")
        << QStringList{"OK", "smile 😀"}
        << "tqm810: LCD line 2 \"smile 😀\": \"😀\" (U+1F600) has no code page 949 code";
    QTest::newRow("control character")
        << QStringList{"a\tb"}
        << "tqm810: LCD line 1 \"a\tb\": control character U+0009 at position 2";
    QTest::newRow("21 bytes")
        << QStringList{"", "", "동해물과 백두산 12345"}
        << "tqm810: LCD line 3 \"동해물과 백두산 12345\": too long at \"5\" (position 14)";
    QTest::newRow("five lines") << QStringList{"1", "2", "3", "4", "5"}
                                << "tqm810: lcd takes one to four lines, not 5";
    QTest::newRow("no line") << QStringList() << "tqm810: lcd takes one to four lines, not 0";
}

// Catches a refused line that is sent anyway, a silent substitute, or a message not naming it.
void CliSendTest::lcdRefusals() {
    QFETCH(QStringList, lines);
    QFETCH(QString, err);
    CliResult r;
    QCOMPARE(sentAlone(QStringList{"lcd", "--"} + lines, &r).toHex(' '), QByteArray());
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.startsWith(err), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

// Catches a stamp from the PC clock instead of the named moment, or fields out of order.
void CliSendTest::clockAt() {
    CliResult r;
    QCOMPARE(sentAlone({"clock", "--at", "2007-09-11 15:04:05"}, &r).toHex(' '),
             hex("1B 2B 58 30 37 30 39 31 31 31 35 30 34 30 35 0D").toHex(' '));
    QCOMPARE(r.status, 0);
}

void CliSendTest::clockRefusals_data() {
    QTest::addColumn<QString>("at");
    QTest::newRow("30 February") << "2007-02-30 15:04:05";
    QTest::newRow("hour 24") << "2007-09-11 24:00:00";
    QTest::newRow("no seconds") << "2007-09-11 15:04";
    QTest::newRow("not a date") << "yesterday";
}

// Catches an impossible date sent as some other date.
void CliSendTest::clockRefusals() {
    QFETCH(QString, at);
    CliResult r;
    QCOMPARE(sentAlone({"clock", "--at", at}, &r).toHex(' '), QByteArray());
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(at), qPrintable(r.err));
}

void CliSendTest::usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("err");
    QTest::newRow("unknown command name")
        << QStringList{"send", "version", "frobnicate"}
        << "tqm810: unknown command \"frobnicate\" (tqm810 commands lists them)\n";
    QTest::newRow("unknown option")
        << QStringList{"send", "--loud", "version"} << "tqm810: unknown option --loud";
    QTest::newRow("option without value")
        << QStringList{"send", "version", "--wait"} << "tqm810: --wait wants a value";
    QTest::newRow("bad wait") << QStringList{"send", "--wait", "soon", "version"}
                              << "tqm810: --wait wants a whole number";
    QTest::newRow("wait over ten minutes")
        << QStringList{"send", "--wait", "600001", "version"}
        << "tqm810: --wait wants a whole number from 0 to 600000";
    QTest::newRow("bad dtr") << QStringList{"send", "--dtr", "maybe", "version"}
                             << "tqm810: --dtr wants on or off";
    QTest::newRow("expect and match")
        << QStringList{"send", "--expect", "a", "--match", "b", "version"}
        << "tqm810: --expect and --match exclude each other";
    QTest::newRow("bad regex") << QStringList{"send", "--match", "(", "version"}
                               << "tqm810: bad regular expression";
    QTest::newRow("no command") << QStringList{"send"} << "tqm810: send wants at least one command";
    // Each with the --device of the line: the port list is read before the two are compared.
    const QString comWants = "tqm810: --com wants COM numbers from 1 to 8, such as 1,3,5-8, not ";
    QTest::newRow("COM0") << QStringList{"run", "--com", "0", "-"} << comWants + "\"0\"";
    QTest::newRow("COM9") << QStringList{"run", "--com", "2,9", "-"} << comWants + "\"9\"";
    QTest::newRow("range backwards")
        << QStringList{"run", "--com", "3-1", "-"} << "tqm810: --com: the range \"3-1\" runs";
    QTest::newRow("port twice") << QStringList{"run", "--com", "1-3,2", "-"}
                                << "tqm810: --com names COM2 twice";
    QTest::newRow("--com and --device")
        << QStringList{"run", "--com", "2", "-"} << "tqm810: --com and --device exclude each other";
    QTest::newRow("two ports to send") << QStringList{"send", "--device", "/dev/null", "version"}
                                       << "tqm810: send takes one port; only run takes several";
}

// Catches a mistake on the command line that still sends something or exits with another status.
void CliSendTest::usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    CliResult r;
    QCOMPARE(sentAlone(args, &r).toHex(' '), QByteArray());
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.startsWith(err), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

// What stands in a run's way besides its arguments: %t/p a pipe that nobody reads, or one whose
// reader takes the first line and goes.
enum Trouble { NoTrouble, UnreadPipe, ReaderGoes };

void CliSendTest::statuses_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args"); // %d: the device, %f: the file below, %t: a folder
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Trouble>("trouble");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("sends"); // the device hears something
    QTest::addColumn<QString>("err");
    const QString cli = QStringLiteral(TQM_CLI);
    const QStringList send{"send", "--device", "%d", "--wait", "100", "--transcript"};
    const QStringList run{"run", "--device", "%d", "%f"};
    QTest::newRow("transcript full mid-run, expectation unmet") // full at 300 bytes
        << "prlimit"
        << QStringList{"--fsize=300", cli} + send +
               QStringList{"%t/t", "--expect", "[ACK]", "version"}
        << QByteArray() << NoTrouble << 3 << true
        << "tqm810: Cannot write the transcript %t/t: File too large\n"
           "tqm810: expected \"[ACK]\", got \"\"\n";
    QTest::newRow("transcript on /dev/full")
        << cli << send + QStringList{"/dev/full", "version"} << QByteArray() << NoTrouble << 3
        << false << "tqm810: Cannot write the transcript /dev/full: No space left on device\n";
    QTest::newRow("transcript into a pipe nobody reads")
        << cli << send + QStringList{"%t/p", "version"} << QByteArray() << UnreadPipe << 3 << false
        << "tqm810: Cannot open the transcript %t/p: nobody reads from it\n";
    QTest::newRow("transcript into a pipe whose reader goes")
        << cli << send + QStringList{"%t/p", "version"} << QByteArray() << ReaderGoes << 3 << true
        << "tqm810: Cannot write the transcript %t/p: Broken pipe\n";
    QTest::newRow("script without steps")
        << cli << run << QByteArray("# send version\n\n") << NoTrouble << 2 << false
        << "tqm810: %f: no steps (tqm810 --help tells more)\n";
    QTest::newRow("expect holding NUL")
        << cli << run << QByteArray("send version\nexpect \"[ACK]\0\"\n", 29) << NoTrouble << 2
        << false
        << "tqm810: %f:2: control character U+0000 at position 6 (an answer shows it by its "
           "name: [NUL], [STX] ...)\n";
    QTest::newRow("expect not UTF-8")
        << cli << run << QByteArray("send version\nmatch \xff\n") << NoTrouble << 2 << false
        << "tqm810: %f:2: not UTF-8 text (tqm810 --help tells more)\n";
    QTest::newRow("report file not writable")
        << cli << QStringList{"run", "--device", "%d", "--junit", "/nonexistent/r.xml", "%f"}
        << QByteArray("send version\n") << NoTrouble << 3 << false
        << "tqm810: cannot write the report /nonexistent/r.xml: No such file or directory\n";
    QTest::newRow("simulator reply over 16 MiB")
        << QStringLiteral(TQM_SIM) << QStringList{"--replies", "%f"}
        << "+# = \"" + QByteArray(16 * 1024 * 1024 + 1, 'A') + "\"\n"
        << NoTrouble << 2 << false
        << "tqm810-sim: %f:1: the reply has 16777217 bytes; a reply may have at most 16777216 "
           "(16 MiB)\n";
}

// Catches a failure reported as success or as a lesser failure, a status that depends on what
// else the run did, a warning or a signal instead of one message, or a device that hears
// something before a bad script or report is found.
void CliSendTest::statuses() {
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, file);
    QFETCH(Trouble, trouble);
    QFETCH(int, status);
    QFETCH(bool, sends);
    QFETCH(QString, err);
    PtyPair far;
    QTemporaryDir dir;
    QFile f(dir.filePath("f"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size() && f.flush());
    const QByteArray pipe = QFile::encodeName(dir.filePath("p"));
    QVERIFY(trouble == NoTrouble || ::mkfifo(pipe.constData(), 0600) == 0);
    const int reader = trouble == ReaderGoes ? ::open(pipe, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    for (QString &a : args)
        a.replace("%d", far.slavePath()).replace("%f", f.fileName()).replace("%t", dir.path());
    err.replace("%f", f.fileName()).replace("%t", dir.path());
    Cli cli;
    const CliResult r = cli.run(
        args,
        [&] {
            pollfd header{reader, POLLIN, 0};
            if (reader < 0 || ::poll(&header, 1, 30000) != 1)
                return;
            ::close(reader);
            QCOMPARE(far.read(3).toHex(' '), QByteArray("1b 2b 23"));
            far.write(QByteArray::fromHex("06")); // an answer for a line nobody reads
        },
        program);
    QCOMPARE(r.err, err);
    QCOMPARE(r.status, status);
    QCOMPARE(!far.drain(100).isEmpty() || reader >= 0, sends);
}

void CliSendTest::absentPorts_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("err"); // %1: the ports folder
    QTest::newRow("no link in the ports folder")
        << QStringList{"--com", "2"} << "tqm810: COM2: no such port (no com2 link in %1)\n";
    QTest::newRow("a link to nothing")
        << QStringList{"--com", "3"}
        << "tqm810: COM3 (/nonexistent/tty): No such file or directory\n";
    QTest::newRow("a device path to nothing")
        << QStringList{"--device", "/nonexistent/tty"}
        << "tqm810: /nonexistent/tty: No such file or directory\n";
}

// Catches a port that cannot be opened reported as success, as a usage error, or silently.
void CliSendTest::absentPorts() {
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    Cli cli;
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/tty"), cli.portsDir() + "/com3"));
    const CliResult r = cli.run(QStringList{"send"} + args + QStringList{"version"});
    QCOMPARE(r.status, 3);
    QCOMPARE(r.err, err.arg(cli.portsDir()));
    QCOMPARE(r.out, QString());
}

void CliSendTest::heldPort_data() {
    QTest::addColumn<QString>("holder"); // opens the device given as $1, says "held", keeps it
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("err"); // %1: the device, %2: the holder's PID; empty: sent
    QTest::newRow("a console's lock") << QStringLiteral(TQM_HOLD_PORT) << QStringList()
                                      << "tqm810: %1: in use by PID %2 (tqm_hold_port)\n";
    const QString cat = QStringLiteral("exec 3<\"$1\"; echo held; exec cat <&3");
    QTest::newRow("a cat reading")
        << cat << QStringList() << "tqm810: %1: in use by PID %2 (cat)\n";
    QTest::newRow("a cat reading, --shared") << cat << QStringList{"--shared"} << QString();
}

// Catches two programs on one device: a port that a running console or a forgotten cat holds is
// refused, naming it, unless the operator says it may be shared.
void CliSendTest::heldPort() {
    QFETCH(QString, holder);
    QFETCH(QStringList, options);
    QFETCH(QString, err);
    PtyPair far;
    QProcess held;
    if (holder.startsWith(u'/'))
        held.start(holder, {far.slavePath()});
    else
        held.start(QStringLiteral("sh"), {"-c", holder, "sh", far.slavePath()});
    QVERIFY(held.waitForReadyRead(30000));
    QCOMPARE(held.readLine(), QByteArray("held\n"));
    Cli cli;
    const CliResult r = cli.run(QStringList{"send", "--device", far.slavePath(), "--wait", "100"} +
                                options + QStringList{"version"});
    const qint64 pid = held.processId();
    held.closeWriteChannel(); // the console goes, and its lock with it
    if (!holder.startsWith(u'/'))
        held.kill();
    QVERIFY(held.waitForFinished(30000));
    QCOMPARE(r.err, err.isEmpty() ? err : err.arg(far.slavePath()).arg(pid));
    QCOMPARE(r.status, err.isEmpty() ? 0 : 3);
    QCOMPARE(far.drain(100).isEmpty(), !err.isEmpty());
}

// Catches "Permission denied" without the advice that fixes it.
void CliSendTest::permissionDenied() {
    PtyPair far;
    const QByteArray device = QFile::encodeName(far.slavePath());
    QVERIFY(::chmod(device.constData(), 0600) == 0);
    if (::geteuid() != 0)
        QVERIFY(::chmod(device.constData(), 0000) == 0);
    Cli cli;
    const CliResult r = cli.run({"nobody", TQM_CLI, "send", "--device", far.slavePath(), "version"},
                                {}, QStringLiteral(TQM_AS_USER));
    QCOMPARE(r.status, 3);
    QCOMPARE(r.err, QStringLiteral("tqm810: %1: Permission denied - this user may not open "
                                   "the device; add the user to the dialout group (sudo adduser "
                                   "$USER dialout) and log in again\n")
                        .arg(far.slavePath()));
}

// Catches a device that goes away during the answer ending in a hang or a success.
void CliSendTest::lostPort() {
    PtyPair far;
    Cli cli;
    const CliResult r =
        cli.run({"send", "--device", far.slavePath(), "--wait", "60000", "version"}, [&] {
            QCOMPARE(far.read(3).toHex(' '), QByteArray("1b 2b 23"));
            far.close();
        });
    QVERIFY2(r.status == 3, qPrintable(r.out + r.err));
    QVERIFY2(r.err.contains(QStringLiteral("the device is gone")), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(CliSendTest)
#include "test_cli_send.moc"
