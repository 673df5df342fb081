// tqm810's commands that put frames on the line (send, lcd, clock): the exact bytes, the answer
// as printed, when an answer ends, the transcript, and the exit statuses, against a
// pseudo-terminal the test reads and against the simulated device.
#include "sim/pty_device.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/expected_commands.h"
#include "tests/support/pty_pair.h"

#include <QFile>
#include <QRegularExpression>
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
    void answerEnds_data();
    void answerEnds();
    void transcriptLines();
    void expectations_data();
    void expectations();
    void usageErrors_data();
    void usageErrors();
    void statuses_data();
    void statuses();
    void heldPort_data();
    void heldPort();
    void lostPort();
};

namespace {

QByteArray hex(const char *spaced) {
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

// The bytes tqm810 put on the line while it ran with nothing answering.
QByteArray sentAlone(const QStringList &args, CliResult &result) {
    PtyPair far;
    Cli cli;
    result = cli.run(QStringList{args.first(), QStringLiteral("--device"), far.slavePath(),
                                 QStringLiteral("--wait"), QStringLiteral("100")} +
                     args.mid(1));
    return far.drain(200);
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
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("bytes");
    for (const ExpectedCommand &c : kExpectedCommands)
        if (QByteArray(c.alias) != "clock") // stamped now: the clock --at row has its bytes
            QTest::newRow(c.control) << QStringList{"send", c.control} << c.bytes();
    // The same by alias, one of each shape.
    for (const ExpectedCommand &c :
         {kExpectedCommands[3], kExpectedCommands[6], kExpectedCommands[10], kExpectedCommands[15]})
        QTest::addRow("alias %s", c.alias) << QStringList{"send", c.alias} << c.bytes();
    QTest::newRow("clock --at") << QStringList{"clock", "--at", "2007-09-11 15:04:05"}
                                << kExpectedCommands[12].bytes();
    QTest::newRow("lcd: Korean, a missing line in the middle and at the end")
        << QStringList{"lcd", "영문(16자)", "", "한글(8자)"}
        << hex("1B 2B 57 BF B5 B9 AE 28 31 36 C0 DA 29 0A 0A C7 D1 B1 DB 28 38 C0 DA 29 0A 0D");
    QTest::newRow("lcd: four lines, the last at 20 bytes")
        << QStringList{"lcd", "A", "B", "C", "동해물과 백두산 1234"}
        << hex("1B 2B 57 41 0A 42 0A 43 0A B5 BF C7 D8 B9 B0 B0 FA 20 B9 E9 B5 CE BB EA 20 31 32 "
               "33 34 0D");
    QTest::newRow("lcd: one line") << QStringList{"lcd", "OK"} << hex("1B 2B 57 4F 4B 0A 0A 0A 0D");
}

// Catches a frame that differs by one byte from what the console sends for the same command,
// operator text in the wrong code page, LCD lines out of place, or a clock stamp from the PC
// clock instead of the named moment.
void CliSendTest::everyCommandsBytes() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, bytes);
    CliResult r;
    QCOMPARE(sentAlone(args, r).toHex(' '), bytes.toHex(' '));
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("\n")); // no answer: an empty line
    QCOMPARE(r.err, QString());
}

void CliSendTest::answerEnds_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("answer"); // written at once after the frame
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("printed");
    // Quiet after the bytes ends the answer long before --wait would.
    const QStringList idle{"--idle", "100", "--wait", "60000"};
    QTest::newRow("idle, rendered")
        << idle << hex("02 41 1B 7F 03 0D BF B5") << 0 << "[STX]A[ESC][DEL][ETX][CR]\u00BF\u00B5\n";
    QTest::newRow("idle, rendered, no-code bytes")
        << idle << hex("81 A0 AD 20") << 0 << "\u0101\u0120\u012D \n";
    QTest::newRow("idle, hex") << idle + QStringList{"--hex"} << hex("02 41 1B 7F 03 0D BF B5") << 0
                               << "02 41 1B 7F 03 0D BF B5\n";
    // Nothing comes: --wait ends it with an empty line.
    QTest::newRow("wait, no answer") << QStringList{"--wait", "300"} << QByteArray() << 0 << "\n";
    // The expectation met ends it at once, however long --idle is; later bytes are dropped.
    QTest::newRow("expect met ends it")
        << QStringList{"--idle", "60000", "--wait", "60000", "--expect", "[ACK]"} << hex("06 15")
        << 0 << "[ACK]\n";
    // A pattern met by the first bytes ends the answer there.
    QTest::newRow("match met by a prefix")
        << QStringList{"--idle", "60000", "--wait", "60000", "--match", "\\[STX\\].*"}
        << hex("02 31 03 0D") << 0 << "[STX]\n";
    QTest::newRow("match met ends it")
        << QStringList{"--idle", "60000", "--wait", "60000", "--match", "\\[STX\\].*\\[ETX\\]"}
        << hex("02 31 03 0D") << 0 << "[STX]1[ETX]\n";
    // No answer where one was expected.
    QTest::newRow("wait, expected answer missing")
        << QStringList{"--wait", "300", "--expect", "[ACK]"} << QByteArray() << 1 << "\n";
}

// Catches an answer that runs to --wait despite quiet or a met expectation, or never ends; an
// answer printed other than the receive box shows it (joined bytes, lost controls); or bytes
// left on the line from before (written before every run) taken for the answer.
void CliSendTest::answerEnds() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QFETCH(QString, printed);
    PtyPair far;
    far.write(hex("02 4F 4C 44 03"));
    Cli cli;
    QElapsedTimer timer;
    timer.start();
    const CliResult r = cli.run(
        QStringList{"send", "--device", far.slavePath()} + options + QStringList{"sensor"}, [&] {
            QCOMPARE(far.read(3).toHex(' '), QByteArray("1b 2b 4e"));
            if (!answer.isEmpty())
                far.write(answer);
        });
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(r.out, printed);
    QCOMPARE(r.status, status);
}

// Catches a tqm810 transcript that misses an event, orders them wrongly, records other bytes
// than reached the far end, or writes a time or delta in another format.
void CliSendTest::transcriptLines() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.tsv"));
    PtyPair far;
    Cli cli;
    QByteArray sent;
    const CliResult r = cli.run({"send", "--device", far.slavePath(), "--wait", "20000", "--idle",
                                 "200", "--transcript", path, "cmd_version"},
                                [&] {
                                    sent = far.read(3);
                                    far.write(QByteArray::fromHex("02 56 31 2E 30 03 0D"));
                                });
    QCOMPARE(sent.toHex(' '), QByteArray("1b 2b 23"));
    QCOMPARE(r.out, QStringLiteral("[STX]V1.0[ETX][CR]\n"));
    QCOMPARE(r.status, 0);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList rows = QString::fromUtf8(file.readAll()).split(u'\n');
    QCOMPARE(rows.takeLast(), QString()); // every line ends in a newline
    QCOMPARE(rows.takeFirst(),
             QStringLiteral("# tqm810 1.0.0 time\tdelta\tdir\tport\tbytes\ttext"));
    static const QRegularExpression time(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"));
    static const QRegularExpression delta(QStringLiteral(R"(^\+\d+\.\d{3}$)"));
    QStringList events;
    QString previous;
    for (const QString &row : rows) {
        const QStringList f = row.split(u'\t');
        QCOMPARE(f.size(), 6);
        QVERIFY2(time.match(f[0]).hasMatch(), qPrintable(f[0]));
        QVERIFY2(delta.match(f[1]).hasMatch(), qPrintable(f[1]));
        QVERIFY2(previous <= f[0].left(23), qPrintable(previous + " > " + f[0]));
        previous = f[0].left(23);
        events << f.mid(2).join(u'|');
    }
    QCOMPARE(rows.first().section(u'\t', 1, 1), QStringLiteral("+0.000"));
    const QString port = far.slavePath();
    QCOMPARE(events, QStringList({
                         "--|" + port + "||DTR on",
                         "--|" + port + "||RTS on",
                         "--|" + port + "||opened 9600,n,8,1",
                         "TX|" + port + "|1B 2B 23|[ESC]+#",
                         "RX|" + port + "|02 56 31 2E 30 03 0D|[STX]V1.0[ETX][CR]",
                         "--|" + port + "||closed",
                     }));
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
    // The last answer is checked, and each printed on its own line.
    QTest::newRow("several commands")
        << QStringList{"--expect", "[ACK]", "version", "sensor", "aux-on"}
        << "[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\n[STX]0[ETX][CR]\n[ACK]\n"
        << 0 << "";
}

// Catches a wrong verdict on the answer from the simulated device, in either direction, the
// expectation applied to the first answer instead of the last, or answers mixed up.
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
    QTest::newRow("lcd: no code page 949 code")
        << QStringList{"lcd", "--", "OK", "smile 😀"}
        << "tqm810: LCD line 2 \"smile 😀\": \"😀\" (U+1F600) has no code page 949 code";
    QTest::newRow("lcd: control character")
        << QStringList{"lcd", "--", "a\tb"}
        << "tqm810: LCD line 1 \"a\tb\": control character U+0009 at position 2";
    QTest::newRow("lcd: 21 bytes")
        << QStringList{"lcd", "--", "", "", "동해물과 백두산 12345"}
        << "tqm810: LCD line 3 \"동해물과 백두산 12345\": too long at \"5\" (position 14)";
    QTest::newRow("lcd: five lines") << QStringList{"lcd", "--", "1", "2", "3", "4", "5"}
                                     << "tqm810: lcd takes one to four lines, not 5";
    QTest::newRow("lcd: no line") << QStringList{"lcd", "--"}
                                  << "tqm810: lcd takes one to four lines, not 0";
    // An impossible date is never sent as some other date.
    for (const char *at :
         {"2007-02-30 15:04:05", "2007-09-11 24:00:00", "2007-09-11 15:04", "yesterday"})
        QTest::addRow("clock --at %s", at)
            << QStringList{"clock", "--at", at}
            << QStringLiteral("tqm810: \"%1\" is not a local time").arg(at);
}

// Catches a mistake on the command line that still sends something, exits with another status,
// or is not named in the message (a refused LCD line sent anyway or silently substituted).
void CliSendTest::usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    CliResult r;
    QCOMPARE(sentAlone(args, r).toHex(' '), QByteArray());
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.startsWith(err), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

// What stands in a run's way besides its arguments (%t/p is always a pipe that nobody reads): a
// device this user may not open, or a reader of %t/p that takes the first line and goes.
enum Trouble { NoTrouble, Forbidden, ReaderGoes };

void CliSendTest::statuses_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args"); // %d: the device, %f: the file below, %t: a folder
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Trouble>("trouble");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("sends");  // the device hears something
    QTest::addColumn<QString>("err"); // %c: the ports folder, where com3 links to nothing
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
        << cli << send + QStringList{"%t/p", "version"} << QByteArray() << NoTrouble << 3 << false
        << "tqm810: Cannot open the transcript %t/p: nobody reads from it\n";
    QTest::newRow("transcript into a pipe whose reader goes")
        << cli << send + QStringList{"%t/p", "version"} << QByteArray() << ReaderGoes << 3 << true
        << "tqm810: Cannot write the transcript %t/p: Broken pipe\n";
    // Opened before the port, so the command never goes out unrecorded.
    QTest::newRow("transcript cannot be opened")
        << cli << send + QStringList{"/nonexistent/x.tsv", "cmd_version"} << QByteArray()
        << NoTrouble << 3 << false
        << "tqm810: Cannot open the transcript /nonexistent/x.tsv: No such file or directory\n";
    QTest::newRow("no link in the ports folder")
        << cli << QStringList{"send", "--com", "2", "version"} << QByteArray() << NoTrouble << 3
        << false << "tqm810: COM2: no such port (no com2 link in %c)\n";
    QTest::newRow("a link to nothing")
        << cli << QStringList{"send", "--com", "3", "version"} << QByteArray() << NoTrouble << 3
        << false << "tqm810: COM3 (/nonexistent/tty): No such file or directory\n";
    QTest::newRow("a device path to nothing")
        << cli << QStringList{"send", "--device", "/nonexistent/tty", "version"} << QByteArray()
        << NoTrouble << 3 << false << "tqm810: /nonexistent/tty: No such file or directory\n";
    // With the advice that fixes it.
    QTest::newRow("permission denied")
        << QStringLiteral(TQM_AS_USER)
        << QStringList{"nobody", cli, "send", "--device", "%d", "version"} << QByteArray()
        << Forbidden << 3 << false
        << "tqm810: %d: Permission denied - this user may not open the device; add the user to "
           "the dialout group (sudo adduser $USER dialout) and log in again\n";
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
// else the run did, a warning or a signal instead of one message (or something on stdout), a
// port that cannot be opened reported silently, or a device that hears something before a bad
// transcript, script or report is found.
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
    QVERIFY(::mkfifo(pipe.constData(), 0600) == 0);
    const int reader = trouble == ReaderGoes ? ::open(pipe, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    // Root opens any device whatever its mode; the program drops it, other users are kept out.
    const QByteArray device = QFile::encodeName(far.slavePath());
    QVERIFY(trouble != Forbidden || ::chmod(device, ::geteuid() == 0 ? 0600 : 0000) == 0);
    Cli cli;
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/tty"), cli.portsDir() + "/com3"));
    for (QString &a : args)
        a.replace("%d", far.slavePath()).replace("%f", f.fileName()).replace("%t", dir.path());
    err.replace("%d", far.slavePath()).replace("%f", f.fileName()).replace("%t", dir.path());
    err.replace("%c", cli.portsDir());
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
    if (!sends)
        QCOMPARE(r.out, QString());
}

void CliSendTest::heldPort_data() {
    QTest::addColumn<QString>("holder"); // opens the device given as $1, says "held", keeps it
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("err");           // %1: the device, %2: the holder's PID; empty: sent
    for (const char *shared : {"", "--shared"}) // the lock refuses what --shared lets through
        QTest::addRow("a console's lock %s", shared)
            << QStringLiteral(TQM_HOLD_PORT) << (*shared ? QStringList{shared} : QStringList())
            << "tqm810: %1: in use by PID %2 (tqm_hold_port)\n";
    const QString cat = QStringLiteral("exec 3<\"$1\"; exec cat"); // says "held" as cat, not sh
    QTest::newRow("a cat") << cat << QStringList() << "tqm810: %1: in use by PID %2 (cat)\n";
    QTest::newRow("a cat, --shared") << cat << QStringList{"--shared"} << QString();
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
    held.write("held\n"); // what a cat says back; the console's holder ignores it
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
