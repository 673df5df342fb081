// tqm810 --transcript: the lines one command leaves, and a transcript that cannot be written,
// against a pseudo-terminal the test reads and answers.
#include "tests/cli/cli_runner.h"
#include "tests/support/pty_pair.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tqm::test;

class CliTranscriptTest : public QObject {
    Q_OBJECT
private slots:
    void oneCommandsLines();
    void unwritableTranscript();
};

// Catches a tqm810 transcript that misses an event, orders them wrongly, records other bytes
// than reached the far end, or writes a time or delta in another format.
void CliTranscriptTest::oneCommandsLines() {
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

// Catches a transcript that cannot be opened passing silently, or the command going out
// unrecorded: the transcript is opened before the port, so nothing reaches the line.
void CliTranscriptTest::unwritableTranscript() {
    PtyPair far;
    Cli cli;
    const CliResult r = cli.run({"send", "--device", far.slavePath(), "--wait", "100",
                                 "--transcript", "/nonexistent/x.tsv", "cmd_version"});
    QCOMPARE(r.status, 3);
    QVERIFY2(r.err.contains(QStringLiteral("/nonexistent/x.tsv")), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(far.drain(200).toHex(' '), QByteArray());
}

QTEST_GUILESS_MAIN(CliTranscriptTest)
#include "test_cli_transcript.moc"
