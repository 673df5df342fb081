// tqm810's other commands: help and version, the command list, ports, monitor, test scripts
// (TAP and JUnit), the port map and the device list; and that the program needs no display.
#include "sim/pty_device.h"
#include "sim/reply_table.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/expected_commands.h"
#include "tests/support/pty_pair.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QXmlStreamReader>

#include <csignal>

using namespace tqm::test;

class CliToolsTest : public QObject {
    Q_OBJECT
private slots:
    void helpAndVersion_data();
    void helpAndVersion();
    void linksNoWidgetsOrGui();
    void commandList();
    void ports();
    void monitorEnds_data();
    void monitorEnds();
    void runPassing();
    void runFailing();
    void runBadLine_data();
    void runBadLine();
    void runBailsOut();
    void runSeveralPorts_data();
    void runSeveralPorts();
    void mapEdits();
    void devices();
};

namespace {

bool writeFile(const QString &path, const QByteArray &text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QString readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

void CliToolsTest::helpAndVersion_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("starts");
    QTest::newRow("--help") << QStringList{"--help"} << "Usage: tqm810 COMMAND";
    QTest::newRow("sub-command --help") << QStringList{"send", "--help"} << "Usage: tqm810 COMMAND";
    QTest::newRow("--version") << QStringList{"--version"} << "tqm810 1.0.0\n";
}

// Catches help that needs a display, goes to stderr, or ends with a failure status.
void CliToolsTest::helpAndVersion() {
    QFETCH(QStringList, args);
    QFETCH(QString, starts);
    Cli cli; // no DISPLAY, no QT_QPA_PLATFORM
    const CliResult r = cli.run(args);
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.startsWith(starts), qPrintable(r.out));
    QCOMPARE(r.err, QString());
    if (args.contains(QStringLiteral("--help")))
        for (const char *status : {"  0  done", "  1  an expectation not met", "  2  usage error",
                                   "  3  the port, the transcript or the report file could not"})
            QVERIFY2(r.out.contains(QLatin1String(status)), status);
}

// Catches the window's libraries creeping into the command line program.
void CliToolsTest::linksNoWidgetsOrGui() {
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(TQM_CLI)});
    QVERIFY(ldd.waitForFinished(30000));
    QCOMPARE(ldd.exitCode(), 0);
    const QString libs = QString::fromUtf8(ldd.readAllStandardOutput());
    QVERIFY2(libs.contains(QLatin1String("libQt6Core.so")), qPrintable(libs));
    QVERIFY2(libs.contains(QLatin1String("libQt6SerialPort.so")), qPrintable(libs));
    QVERIFY2(!libs.contains(QLatin1String("libQt6Widgets")), qPrintable(libs));
    QVERIFY2(!libs.contains(QLatin1String("libQt6Gui")), qPrintable(libs));
}

// Catches a row, alias, caption, description or frame listed other than the console has it.
void CliToolsTest::commandList() {
    Cli cli;
    const CliResult r = cli.run({"commands"});
    QCOMPARE(r.status, 0);
    QStringList expected;
    for (const ExpectedCommand &c : kExpectedCommands) {
        // The listing shows the clock stamp's digits by their field names.
        const QString wire = QString::fromLatin1(c.wire).replace(
            QLatin1String(kSampleStampHex), QLatin1String("YY MM DD hh mm ss"));
        expected << QStringList{c.control, c.alias, QString::fromUtf8(c.caption),
                                QString::fromUtf8(c.description).trimmed(), wire}
                        .join(QLatin1Char('\t'));
    }
    QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
}

// Catches a port listed that does not open, one missed that does, or anything else on stdout.
void CliToolsTest::ports() {
    PtyPair one;
    PtyPair three;
    Cli cli;
    QVERIFY(QFile::link(one.slavePath(), cli.portsDir() + "/com1"));
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/tty"), cli.portsDir() + "/com2"));
    QVERIFY(QFile::link(three.slavePath(), cli.portsDir() + "/com3"));
    const CliResult r = cli.run({"ports"});
    QCOMPARE(r.out, QStringLiteral("COM1\nCOM3\n"));
    QCOMPARE(r.status, 0);
    QCOMPARE(one.drain(50), QByteArray()); // opened and closed, nothing sent
}

void CliToolsTest::monitorEnds_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("signal");    // sent once it showed the bytes; 0: none
    QTest::addColumn<QString>("shown"); // a pattern for all it printed
    const QString shown = QStringLiteral("\\[STX\\]AB\\[ETX\\]\\[CR\\]\\n$");
    QTest::newRow("--seconds") << QStringList{"--seconds", "1"} << 0 << "^" + shown;
    QTest::newRow("SIGTERM") << QStringList() << int(SIGTERM) << "^" + shown;
    QTest::newRow("SIGINT, timestamps")
        << QStringList{"--timestamps"} << int(SIGINT)
        << R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d\t)" + shown;
}

// Catches monitor output that differs from the rendering (bytes waiting on the line before it
// opens it included), a monitor that does not stop, or one interrupted that dies by the signal
// (status lost) or drops what it showed.
void CliToolsTest::monitorEnds() {
    QFETCH(QStringList, options);
    QFETCH(int, signal);
    QFETCH(QString, shown);
    PtyPair far;
    far.write(QByteArray::fromHex("02414203 0d"));
    Cli cli;
    cli.start(QStringList{"monitor", "--device", far.slavePath()} + options);
    QByteArray out;
    while (!out.contains("[CR]") && cli.process().waitForReadyRead(30000))
        out += cli.process().readAllStandardOutput();
    QVERIFY2(out.contains("[CR]"), out.constData());
    if (signal)
        ::kill(pid_t(cli.process().processId()), signal);
    const CliResult r = cli.finish();
    QCOMPARE(r.status, 0);
    const QString all = QString::fromUtf8(out) + r.out;
    QVERIFY2(QRegularExpression(shown).match(all).hasMatch(), qPrintable(all));
}

// Catches a wrong TAP plan, a wrong test point, or JUnit that disagrees with TAP.
void CliToolsTest::runPassing() {
    tqm::sim::PtyDevice sim;
    QVERIFY(sim.open());
    Cli cli;
    const QString script = cli.configDir() + "/unit.tqm";
    QVERIFY(writeFile(script, "# one unit off the line\n"
                              "send cmd_version\n"
                              "match '.*SIMULATOR\\sV1\\.00\\[ETX\\]\\[CR\\]'\n"
                              "\n"
                              "send sensor\n"
                              "expect \"[STX]0[ETX][CR]\"\n"
                              "lcd \"PASS #1\" \"한글\"\n"
                              "expect [ACK]\n"
                              "clock --at \"2007-09-11 15:04:05\"\n"
                              "wait 10\n"));
    const QString junit = cli.configDir() + "/unit.xml";
    const CliResult r = cli.run({"run", "--device", sim.slavePath(), "--junit", junit, script});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out,
             QStringLiteral("TAP version 13\n"
                            "1..8\n"
                            "ok 1 - send cmd_version\n"
                            "  ---\n"
                            "  answers:\n"
                            "    - \"[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\"\n"
                            "  ...\n"
                            "ok 2 - match \".*SIMULATOR\\\\sV1\\\\.00\\\\[ETX\\\\]\\\\[CR\\\\]\"\n"
                            "ok 3 - send sensor\n"
                            "  ---\n"
                            "  answers:\n"
                            "    - \"[STX]0[ETX][CR]\"\n"
                            "  ...\n"
                            "ok 4 - expect \"[STX]0[ETX][CR]\"\n"
                            "ok 5 - lcd \"PASS \\#1\" \"한글\"\n"
                            "  ---\n"
                            "  answers:\n"
                            "    - \"[ACK]\"\n"
                            "  ...\n"
                            "ok 6 - expect \"[ACK]\"\n"
                            "ok 7 - clock --at \"2007-09-11 15:04:05\"\n"
                            "  ---\n"
                            "  answers:\n"
                            "    - \"[ACK]\"\n"
                            "  ...\n"
                            "ok 8 - wait 10\n"));
    QCOMPARE(r.status, 0);
    QCOMPARE(sim.device().lcdLines(), QStringList({"PASS #1", "한글", "", ""}));
    QCOMPARE(sim.device().clock(), QDateTime(QDate(2007, 9, 11), QTime(15, 4, 5)));

    QXmlStreamReader xml(readFile(junit));
    QStringList cases;
    int failures = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("testsuite")) {
            QCOMPARE(xml.attributes().value("name").toString(), QStringLiteral("unit.tqm"));
            QCOMPARE(xml.attributes().value("tests").toString(), QStringLiteral("8"));
            QCOMPARE(xml.attributes().value("failures").toString(), QStringLiteral("0"));
        }
        if (xml.isStartElement() && xml.name() == QLatin1String("testcase"))
            cases << xml.attributes().value("name").toString();
        failures += xml.isStartElement() && xml.name() == QLatin1String("failure");
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(cases.size(), 8);
    QCOMPARE(cases[0], QStringLiteral("1 - send cmd_version"));
    QCOMPARE(cases[5], QStringLiteral("6 - expect \"[ACK]\""));
    QCOMPARE(failures, 0);
}

// Catches a failed expectation that stops the script, passes, or is missing from the JUnit file,
// or a script on standard input not read.
void CliToolsTest::runFailing() {
    tqm::sim::PtyDevice sim;
    QVERIFY(sim.open());
    Cli cli;
    const QString junit = cli.configDir() + "/unit.xml";
    const CliResult r = cli.run({"run", "--device", sim.slavePath(), "--junit", junit, "-"}, [&] {
        cli.process().write("send version\n"
                            "expect \"[STX]TQM-810 V9\\\\9[ETX]\"\n"
                            "send aux-on\n"
                            "expect [ACK]\n");
        cli.process().closeWriteChannel();
    });
    QCOMPARE(r.out, QStringLiteral("TAP version 13\n"
                                   "1..4\n"
                                   "ok 1 - send version\n"
                                   "  ---\n"
                                   "  answers:\n"
                                   "    - \"[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\"\n"
                                   "  ...\n"
                                   "not ok 2 - expect \"[STX]TQM-810 V9\\\\9[ETX]\" got "
                                   "\"[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\"\n"
                                   "ok 3 - send aux-on\n"
                                   "  ---\n"
                                   "  answers:\n"
                                   "    - \"[ACK]\"\n"
                                   "  ...\n"
                                   "ok 4 - expect \"[ACK]\"\n"));
    QCOMPARE(r.status, 1);
    QVERIFY(sim.device().auxPort()); // the step after the failure ran
    const QString xml = readFile(junit);
    QVERIFY2(xml.contains(QLatin1String("failures=\"1\"")), qPrintable(xml));
    QVERIFY2(xml.contains(QLatin1String("<failure message=\"expect &quot;[STX]TQM-810 V9\\9[ETX]"
                                        "&quot; got &quot;[STX]TQM-810 SIMULATOR V1.00[ETX][CR]"
                                        "&quot;\"/>")),
             qPrintable(xml));
}

void CliToolsTest::runBadLine_data() {
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("err"); // after "tqm810: FILE:3: "
    QTest::newRow("unknown step") << QByteArray("sned version") << "unknown step \"sned\"";
    QTest::newRow("unknown command") << QByteArray("send versoin") << "unknown command \"versoin\"";
    QTest::newRow("expect two words")
        << QByteArray("expect a b") << "expect takes exactly one argument";
    QTest::newRow("open quote") << QByteArray("expect \"[ACK]") << "a quote is not closed";
    QTest::newRow("other escape") << QByteArray("expect \"\\n\"")
                                  << "inside \"...\" only \\\" and \\\\ are escapes ('...' keeps";
    QTest::newRow("lcd line too long") << QByteArray("lcd 123456789012345678901")
                                       << "LCD line 1 \"123456789012345678901\": too long";
    QTest::newRow("bad wait") << QByteArray("wait soon") << "wait wants milliseconds";
    QTest::newRow("wait over ten minutes")
        << QByteArray("wait 600001") << "wait wants milliseconds";
    QTest::newRow("impossible clock") << QByteArray("clock --at \"2007-13-01 00:00:00\"")
                                      << "\"2007-13-01 00:00:00\" is not a local time";
}

// Catches a script that sends its first steps before a bad line stops it, or an error without
// its file and line.
void CliToolsTest::runBadLine() {
    QFETCH(QByteArray, badLine);
    QFETCH(QString, err);
    PtyPair far;
    Cli cli;
    const QString script = cli.configDir() + "/bad.tqm";
    QVERIFY(writeFile(script, "send version\n# fine so far\n" + badLine + "\nsend reset\n"));
    const CliResult r = cli.run({"run", "--device", far.slavePath(), script});
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("tqm810: %1:3: %2").arg(script, err)),
             qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(far.drain(100), QByteArray());
}

// Catches a port lost mid-script that is not reported as a bail-out with status 3.
void CliToolsTest::runBailsOut() {
    PtyPair far;
    Cli cli;
    const QString script = cli.configDir() + "/lost.tqm";
    QVERIFY(writeFile(script, "send version\nwait 60000\nsend version\n"));
    const CliResult r = cli.run(
        {"run", "--device", far.slavePath(), "--wait", "60000", "--idle", "10", script}, [&] {
            QCOMPARE(far.read(3).toHex(' '), QByteArray("1b 2b 23"));
            far.write(QByteArray::fromHex("06"));
            // Gone while the script waits.
            while (!cli.process().peek(4096).contains("ok 1 - ") &&
                   cli.process().waitForReadyRead(30000)) {
            }
            far.close();
        });
    QCOMPARE(r.status, 3);
    QVERIFY2(r.out.contains("not ok 2 - wait 60000\nBail out! " + far.slavePath() + ": the device"),
             qPrintable(r.out));
    QVERIFY2(r.err.contains(QLatin1String("the device is gone")), qPrintable(r.err));
}

void CliToolsTest::runSeveralPorts_data() {
    QTest::addColumn<QString>("far"); // COM1, COM2...: s the simulator, w one answering another
                                      // version, l one gone at its second frame, - no link
    QTest::addColumn<QString>("tap"); // without the answers; %1: the ports folder, %2: l's device
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("suites");      // JUnit: name failures/errors
    QTest::addColumn<QString>("transcribed"); // the ports sent from, as the transcript names them
    QTest::addColumn<int>("status");
    const QString expect = "expect \"[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\"";
    const QString absent = "  message: \"COM3: no such port (no com3 link in %1)\"\n";
    const QString gone = "  message: \"COM4 (%2): the device is gone\"\n";
    QTest::newRow("mixed")
        << "sw-l"
        << "TAP version 13\n1..16\nok 1 - COM1: send version\nok 2 - COM1: " + expect +
               "\nok 3 - COM1: send reset\nok 4 - COM1: lcd PASS\nok 5 - COM2: send version\n"
               "not ok 6 - COM2: " +
               expect +
               " got \"[STX]TQM-800 V0.90[ETX][CR]\"\n"
               "ok 7 - COM2: send reset\nok 8 - COM2: lcd PASS\nnot ok 9 - COM3: send version\n" +
               absent + "not ok 10 - COM3: " + expect + "\n" + absent +
               "not ok 11 - COM3: send reset\n" + absent + "not ok 12 - COM3: lcd PASS\n" + absent +
               "ok 13 - COM4: send version\nok 14 - COM4: " + expect +
               "\nnot ok 15 - COM4: send reset\n" + gone + "not ok 16 - COM4: lcd PASS\n" + gone
        << "tqm810: COM1: 4 passed\ntqm810: COM2: 3 passed, 1 failed (first: line 2: " + expect +
               " got \"[STX]TQM-800 V0.90[ETX][CR]\")\ntqm810: COM3: 0 passed, 4 failed (first: "
               "COM3: no such port (no com3 link in %1))\ntqm810: COM4: 2 passed, 2 failed (first: "
               "COM4 (%2): the device is gone)\n"
        << "COM1: unit.tqm 0/0, COM2: unit.tqm 1/0, COM3: unit.tqm 0/4, COM4: unit.tqm 0/2"
        << "COM1 COM2 COM4" << 3;
    QTest::newRow("all pass")
        << "ss"
        << "TAP version 13\n1..8\nok 1 - COM1: send version\nok 2 - COM1: " + expect +
               "\nok 3 - COM1: send reset\nok 4 - COM1: lcd PASS\nok 5 - COM2: send version\n"
               "ok 6 - COM2: " +
               expect + "\nok 7 - COM2: send reset\nok 8 - COM2: lcd PASS\n"
        << "tqm810: COM1: 4 passed\ntqm810: COM2: 4 passed\n"
        << "COM1: unit.tqm 0/0, COM2: unit.tqm 0/0"
        << "COM1 COM2" << 0;
    QTest::newRow("none opens")
        << "--"
        << "TAP version 13\n1..8\nBail out! no port opened: COM1: no such port (no com1 link in "
           "%1); COM2: no such port (no com2 link in %1)\n"
        << "tqm810: COM1: 0 passed, 4 failed (first: COM1: no such port (no com1 link in %1))\n"
           "tqm810: COM2: 0 passed, 4 failed (first: COM2: no such port (no com2 link in %1))\n"
        << "COM1: unit.tqm 0/4, COM2: unit.tqm 0/4"
        << "" << 3;
}

// Catches reports that mix or drop ports, a failing port that stops or fails the others, a
// status other than the worst port's, a bail-out while a port ran, a transcript opened once per
// port, or progress and summary missing from stderr.
void CliToolsTest::runSeveralPorts() {
    QFETCH(QString, far);
    QFETCH(QString, tap);
    QFETCH(QString, summary);
    QFETCH(QString, suites);
    QFETCH(QString, transcribed);
    QFETCH(int, status);
    Cli cli;
    QObject sims;
    QString lost;
    // The system's word for a device gone depends on how the loss is noticed first.
    const auto unworded = [](QString text) {
        return text.replace(QRegularExpression(QStringLiteral("the device is gone \\([^)]*\\)")),
                            QStringLiteral("the device is gone"));
    };
    const auto filled = [&](QString text) {
        return text.replace("%1", cli.portsDir()).replace("%2", lost);
    };
    for (qsizetype i = 0; i < far.size(); ++i) {
        if (far[i] == u'-')
            continue;
        auto *sim = new tqm::sim::PtyDevice(&sims);
        QVERIFY(sim->open());
        QVERIFY(
            QFile::link(sim->slavePath(), cli.portsDir() + QStringLiteral("/com%1").arg(i + 1)));
        const QByteArray replies = far[i] == u'w'   ? "+# = \"\\x02TQM-800 V0.90\\x03\\r\"\n"
                                   : far[i] == u'l' ? "+R = \"\"\n" // reset: no answer
                                                    : "";
        sim->device().setReplies(tqm::sim::parseReplyFile(replies).table);
        if (far[i] == u'l') {
            lost = sim->slavePath();
            connect(sim, &tqm::sim::PtyDevice::frameReceived, sim, [sim, frames = 0]() mutable {
                if (++frames == 2)
                    sim->deleteLater();
            });
        }
    }
    const QString script = cli.configDir() + "/unit.tqm";
    QVERIFY(writeFile(script, "send version\nexpect \"[STX]TQM-810 SIMULATOR V1.00[ETX][CR]\"\n"
                              "send reset\nlcd PASS\n"));
    const QString junit = cli.configDir() + "/unit.xml";
    const QString transcript = cli.configDir() + "/unit.tsv";
    const CliResult r = cli.run({"run", "--com", QStringLiteral("1-%1").arg(far.size()), "--junit",
                                 junit, "--transcript", transcript, script});
    QStringList points;
    for (const QString &line : r.out.split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1String("  ")) || line.startsWith(QLatin1String("  message:")))
            points << line + u'\n';
    QCOMPARE(unworded(points.join(QString())), filled(tap));
    const QStringList err = r.err.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(err.size(), far.size() * 2);
    for (qsizetype i = 0; i < far.size(); ++i)
        QVERIFY2(err[i].contains(QStringLiteral(" finished (%1 of %2)").arg(i + 1).arg(far.size())),
                 qPrintable(r.err));
    QCOMPARE(unworded(err.mid(far.size()).join(u'\n')) + u'\n', filled(summary));
    QCOMPARE(r.status, status);
    QStringList found;
    auto each = QRegularExpression(QStringLiteral("<testsuite name=\"([^\"]*)\" tests=\"4\" "
                                                  "failures=\"(\\d+)\" errors=\"(\\d+)\""))
                    .globalMatch(readFile(junit));
    while (each.hasNext()) {
        const QRegularExpressionMatch m = each.next();
        found << m.captured(1) + u' ' + m.captured(2) + u'/' + m.captured(3);
    }
    QCOMPARE(found.join(QStringLiteral(", ")), suites);
    const QStringList lines = readFile(transcript).split(u'\n', Qt::SkipEmptyParts);
    QSet<QString> sent;
    for (const QString &line : lines)
        if (line.section(u'\t', 2, 2) == QLatin1String("TX"))
            sent << line.section(u'\t', 3, 3);
    QStringList sentFrom(sent.begin(), sent.end());
    sentFrom.sort();
    QCOMPARE(sentFrom.join(u' '), transcribed);
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^# tqm810 "))).size(), 1);
}

// Catches a link set elsewhere than the ports folder, not listed, or not removed, or the ports
// folder made silently, though it ends the fallback to the built-in ports.
void CliToolsTest::mapEdits() {
    PtyPair far;
    Cli cli;
    QVERIFY(QDir(cli.portsDir()).removeRecursively());
    CliResult r = cli.run({"map", "COM2", far.slavePath()});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("COM2\t%1\tpresent\n").arg(far.slavePath()));
    QCOMPARE(QFile::symLinkTarget(cli.portsDir() + "/com2"), far.slavePath());
    QVERIFY2(
        r.err.startsWith(
            QStringLiteral("tqm810: created %1: it is now the whole port map").arg(cli.portsDir())),
        qPrintable(r.err));
    // The target need not exist yet.
    r = cli.run({"map", "com5", "/dev/serial/by-id/usb-not-plugged-in"});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QString()); // the folder's making said once only
    r = cli.run({"map"});
    QCOMPARE(r.out, QStringLiteral("COM1\t-\tabsent\n"
                                   "COM2\t%1\tpresent\n"
                                   "COM3\t-\tabsent\n"
                                   "COM4\t-\tabsent\n"
                                   "COM5\t/dev/serial/by-id/usb-not-plugged-in\tabsent\n"
                                   "COM6\t-\tabsent\n"
                                   "COM7\t-\tabsent\n"
                                   "COM8\t-\tabsent\n")
                        .arg(far.slavePath()));
    r = cli.run({"map", "com2", "--remove"});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("COM2\t-\tabsent\n"));
    QVERIFY(!QFileInfo::exists(cli.portsDir() + "/com2"));
    r = cli.run({"map", "com9", "/dev/null"});
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("tqm810: \"com9\" is not COM1 to COM8")),
             qPrintable(r.err));
}

// Catches a device missed, a virtual terminal listed, or USB facts read from the wrong place.
void CliToolsTest::devices() {
    QTemporaryDir root;
    const QString sys = root.path() + "/sys";
    const QString usb = sys + "/devices/pci0000:00/usb1/1-1";
    const QString usbTty = usb + "/1-1:1.0/ttyUSB0";
    const QString uart = sys + "/devices/platform/serial8250";
    QVERIFY(QDir().mkpath(usbTty));
    QVERIFY(QDir().mkpath(uart + "/tty/ttyS4"));
    QVERIFY(QDir().mkpath(uart + "/tty/ttyS5"));
    QVERIFY(QDir().mkpath(sys + "/bus/usb-serial/drivers/ftdi_sio"));
    QVERIFY(QDir().mkpath(sys + "/bus/platform/drivers/serial8250"));
    QVERIFY(QDir().mkpath(sys + "/class/tty/tty1"));
    QVERIFY(writeFile(usb + "/idVendor", "0403\n"));
    QVERIFY(writeFile(usb + "/idProduct", "6001\n"));
    QVERIFY(writeFile(usb + "/serial", "A50285BI\n"));
    QVERIFY(writeFile(usb + "/product", "FT232R USB UART\n"));
    QVERIFY(QFile::link(sys + "/bus/usb-serial/drivers/ftdi_sio", usbTty + "/driver"));
    QVERIFY(QFile::link(sys + "/bus/platform/drivers/serial8250", uart + "/driver"));
    for (const auto &[name, device] :
         {std::pair{"ttyUSB0", usbTty}, {"ttyS4", uart}, {"ttyS5", uart}}) {
        QVERIFY(QDir().mkpath(sys + "/class/tty/" + name));
        QVERIFY(QFile::link(device, sys + "/class/tty/" + name + "/device"));
    }
    QVERIFY(writeFile(sys + "/class/tty/ttyS4/type", "4\n")); // a UART is there
    QVERIFY(writeFile(sys + "/class/tty/ttyS5/type", "0\n")); // an empty slot
    const QString byId = root.path() + "/by-id";
    QVERIFY(QDir().mkpath(byId));
    QVERIFY(QFile::link("../../ttyUSB0", byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));

    Cli cli;
    const CliResult r = cli.run({"devices", "--sysfs", sys + "/class/tty", "--dev",
                                 root.path() + "/nodes", "--by-id", byId});
    QCOMPARE(r.status, 0);
    // Device paths are named from the --dev folder, never opened.
    QCOMPARE(r.out,
             QStringLiteral("%1/nodes/ttyS4\t-\t-\t-\t-\n"
                            "%1/nodes/ttyUSB0\tusb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\t"
                            "0403:6001\tA50285BI\tFT232R USB UART\n")
                 .arg(root.path()));
}

QTEST_GUILESS_MAIN(CliToolsTest)
#include "test_cli_tools.moc"
