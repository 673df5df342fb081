// The real console, started as a program with --transcript, killed with SIGKILL while the device
// floods it: what reached the transcript file must still read line by line.
#include "tests/robustness/noise.h"
#include "tests/support/expected_rendering.h"
#include "tests/support/pty_pair.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tqm::test;

class TranscriptKilledTest : public QObject {
    Q_OBJECT
private slots:
    void killedMidFlood();
};

namespace {

constexpr qsizetype MiB = qsizetype(1) << 20;
constexpr qsizetype kBlock = 64 * qsizetype(1024);
constexpr qsizetype kMaxFlood = 16 * MiB; // far more than it takes to pass kKillAt
constexpr qint64 kKillAt = 4 * MiB;       // transcript size at which the console dies

QByteArray fileText(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The signals the process ignores, as /proc gives them: bit n-1 for signal n.
quint64 ignoredSignals(qint64 pid) {
    for (const QByteArray &line : fileText(QStringLiteral("/proc/%1/status").arg(pid)).split('\n'))
        if (line.startsWith("SigIgn:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16);
    return 0;
}

} // namespace

// Catches a transcript left unreadable by a kill: a line written in pieces or buffered and cut
// anywhere but at its end, a field lost or merged, RX hex that is not the bytes the device sent,
// or a rendering that does not match its own hex.
void TranscriptKilledTest::killedMidFlood() {
    PtyPair far;
    QVERIFY(far.isValid());
    QTemporaryDir config;
    const QString ports = config.filePath(QStringLiteral("tqm810-console/ports"));
    QVERIFY(QDir().mkpath(ports));
    QVERIFY(QFile::link(far.slavePath(), ports + QStringLiteral("/com1")));
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("t.tsv"));

    QProcess console;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("HOME"), config.path()); // Ctrl+S's file, should anything save
    console.setProcessEnvironment(env);
    console.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    console.start(QStringLiteral(TQM_CONSOLE), {QStringLiteral("--transcript"), path});
    QVERIFY(console.waitForStarted(30000));
    QTRY_VERIFY_WITH_TIMEOUT(fileText(path).contains("\topened 9600,n,8,1\n"), 30000);
    // Catches a console that a transcript pipe whose reader has gone (SIGPIPE, 13), or a file at
    // its size limit (SIGXFSZ, 25), would end instead of failing a write it reports.
    QCOMPARE(ignoredSignals(console.processId()) & 0x1001000, quint64(0x1001000));

    const QByteArray flood = Noise().next(kMaxFlood);
    qsizetype sent = 0;
    while (sent < flood.size() && QFileInfo(path).size() < kKillAt) {
        far.write(flood.mid(sent, kBlock));
        sent += kBlock;
    }
    QVERIFY2(QFileInfo(path).size() >= kKillAt,
             qPrintable(QStringLiteral("%1 bytes of transcript after %2 MiB")
                            .arg(QFileInfo(path).size())
                            .arg(sent / MiB)));
    QCOMPARE(console.state(), QProcess::Running);
    console.kill(); // SIGKILL: nothing flushed, nothing closed
    QVERIFY(console.waitForFinished(30000));
    QCOMPARE(console.exitStatus(), QProcess::CrashExit);

    QList<QByteArray> rows = fileText(path).split('\n');
    rows.removeLast(); // empty after the last newline, or a line the kill cut
    QVERIFY(rows.size() > 4);
    QCOMPARE(QString::fromUtf8(rows.takeFirst()),
             QStringLiteral("# tqm810-console 1.0.0 time\tdelta\tdir\tport\tbytes\ttext"));
    static const QRegularExpression time(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"));
    static const QRegularExpression delta(QStringLiteral(R"(^\+\d+\.\d{3}$)"));
    static const QRegularExpression hex(QStringLiteral(R"(^[0-9A-F]{2}( [0-9A-F]{2})*$)"));
    QStringList events;
    QByteArray received;
    for (const QByteArray &row : std::as_const(rows)) {
        const QStringList f = QString::fromUtf8(row).split(u'\t');
        QVERIFY2(f.size() == 6, row.left(200).constData());
        QVERIFY2(time.match(f[0]).hasMatch(), qPrintable(f[0]));
        QVERIFY2(delta.match(f[1]).hasMatch(), qPrintable(f[1]));
        QCOMPARE(f[3], QStringLiteral("COM1"));
        if (f[2] == u"RX") {
            QVERIFY2(hex.match(f[4]).hasMatch(), qPrintable(f[4].left(200)));
            const QByteArray bytes = QByteArray::fromHex(f[4].toLatin1());
            QCOMPARE(f[5], expectedText(bytes));
            received += bytes;
        } else {
            events << f.mid(2).join(u'|');
        }
    }
    QCOMPARE(events,
             QStringList({"--|COM1||opened 9600,n,8,1", "--|COM1||DTR on", "--|COM1||RTS on"}));
    // The received bytes are the flood's first ones: none lost, none made up.
    QVERIFY(received.size() > 0);
    QVERIFY2(received == flood.left(received.size()),
             qPrintable(
                 QStringLiteral("%1 bytes received differ from the flood's").arg(received.size())));
}

QTEST_GUILESS_MAIN(TranscriptKilledTest)
#include "test_transcript_killed.moc"
