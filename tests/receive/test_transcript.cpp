// The transcript: its line format, what each event of the line writes, and a file that fails.
#include "receive/transcript.h"
#include "serial/failure.h"
#include "tests/support/fake_serial_control.h"
#include "tests/support/file_size_limit.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tqm;

namespace {

struct Line {
    QString time, delta, dir, port, bytes, text;
};

// The rows of a file, split at each newline.
QList<QByteArray> rowsOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
}

// Every line after the header, split into its six fields; a line with another count fails.
QList<Line> readLines(const QString &path, QString *header = nullptr) {
    QList<Line> lines;
    for (const QByteArray &bytes : rowsOf(path)) {
        const QString row = QString::fromUtf8(bytes);
        if (row.isEmpty())
            continue;
        if (row.startsWith(u'#')) {
            if (header)
                *header = row;
            continue;
        }
        const QStringList f = row.split(u'\t');
        if (f.size() != 6)
            return {};
        lines.append({f[0], f[1], f[2], f[3], f[4], f[5]});
    }
    return lines;
}

// Direction, port, bytes and text of each line: what a reader checks against the far end.
QStringList events(const QList<Line> &lines) {
    QStringList out;
    for (const Line &l : lines)
        out << l.dir + u'|' + l.port + u'|' + l.bytes + u'|' + l.text;
    return out;
}

} // namespace

class TranscriptTest : public QObject {
    Q_OBJECT
private slots:
    void timeText_data() {
        QTest::addColumn<int>("offsetSeconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("seoul") << 9 * 3600 << "2026-12-07T14:10:27.123+09:00";
        QTest::newRow("utc, never Z") << 0 << "2026-12-07T14:10:27.123+00:00";
        QTest::newRow("west") << -(3 * 3600 + 30 * 60) << "2026-12-07T14:10:27.123-03:30";
        QTest::newRow("kathmandu") << 5 * 3600 + 45 * 60 << "2026-12-07T14:10:27.123+05:45";
    }

    void timeText() {
        QFETCH(int, offsetSeconds);
        QFETCH(QString, text);
        const QDateTime at(QDate(2026, 12, 7), QTime(14, 10, 27, 123), Qt::OffsetFromUTC,
                           offsetSeconds);
        QCOMPARE(Transcript::timeText(at), text);
    }

    void sessionLines() {
        QTemporaryDir dir;
        const QString path = dir.filePath("line.tsv");
        FakeSerialControl port;
        port.failingPorts = {3};
        Transcript transcript;
        QVERIFY(transcript.open(path, "tqm810-console", "1.0.0"));
        transcript.attach(port);

        transcript.setPaused(true); // a probe of every port is no event of the link
        port.setCommPort(2);
        port.setPortOpen(true);
        port.setPortOpen(false);
        transcript.setPaused(false);

        port.setCommPort(1);
        port.setSettings(QStringLiteral("9600,n,8,1"));
        port.setRThreshold(1);
        port.setInputMode(1);
        port.setPortOpen(true);
        port.setDTREnable(true);
        port.setRTSEnable(true);
        port.output(QStringLiteral("\x1b+N"));
        QTimer answerTime; // the device takes its time: the answer's delta shows it, the next not
        QSignalSpy answered(&answerTime, &QTimer::timeout);
        answerTime.start(200);
        QVERIFY(answered.wait(10000));
        port.deliver(QByteArray::fromHex("0230"));
        port.input();
        port.deliver(QByteArray::fromHex("030d"));
        port.input();
        port.setDTREnable(false);
        port.setDTREnable(false); // no change, no line
        port.setPortOpen(false);
        port.setCommPort(3);
        QVERIFY_THROWS_EXCEPTION(Failure, port.setPortOpen(true));
        QVERIFY_THROWS_EXCEPTION(Failure, port.output(QStringLiteral("\x1b+#")));
        port.setCommPort(1);
        port.setPortOpen(true);
        port.loseDevice(QStringLiteral("COM1 (pts/9): the device is gone\n(I/O error)"));
        port.restoreDevice();

        QString header;
        const QList<Line> lines = readLines(path, &header);
        QCOMPARE(header,
                 QStringLiteral("# tqm810-console 1.0.0 time\tdelta\tdir\tport\tbytes\ttext"));
        QCOMPARE(events(lines), QStringList({
                                    "--|COM1||opened 9600,n,8,1",
                                    "--|COM1||DTR on",
                                    "--|COM1||RTS on",
                                    "TX|COM1|1B 2B 4E|[ESC]+N",
                                    "RX|COM1|02 30|[STX]0",
                                    "RX|COM1|03 0D|[ETX][CR]",
                                    "--|COM1||DTR off",
                                    "--|COM1||closed",
                                    "--|COM3||failed: COM3: No such file or directory",
                                    "--|COM3||send failed: COM3: cannot send, the port is not open",
                                    "--|COM1||opened 9600,n,8,1",
                                    "--|COM1||lost: COM1 (pts/9): the device is gone (I/O error)",
                                    "--|COM1||back",
                                }));
        static const QRegularExpression time(QStringLiteral(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"));
        static const QRegularExpression delta(QStringLiteral("^\\+\\d+\\.\\d{3}$"));
        QCOMPARE(lines.first().delta, QStringLiteral("+0.000"));
        QVERIFY2(lines[4].delta.toDouble() >= 0.1 && lines[5].delta.toDouble() < 0.1,
                 qPrintable(lines[4].delta + u' ' + lines[5].delta));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QVERIFY2(time.match(lines[i].time).hasMatch(), qPrintable(lines[i].time));
            QVERIFY2(delta.match(lines[i].delta).hasMatch(), qPrintable(lines[i].delta));
            if (i > 0)
                QVERIFY(lines[i - 1].time <= lines[i].time);
        }
    }

    void fieldsNeverBreakALine() {
        QCOMPARE(Transcript::field(QStringLiteral("a\tb\rc\nd\x7f"
                                                  "e\x01")),
                 QStringLiteral("a b c d e "));
        QTemporaryDir dir;
        Transcript transcript;
        QVERIFY(transcript.open(dir.filePath("t"), "p", "1"));
        transcript.record(Transcript::Direction::Link, "COM\t1", {}, "lost: a\r\nb");
        const QList<QByteArray> rows = rowsOf(dir.filePath("t"));
        QCOMPARE(rows.size(), 3); // header, the line, and nothing after the last newline
        QVERIFY(rows[1].endsWith("\tCOM 1\t\tlost: a  b"));
    }

    void appendsToAnEarlierFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t");
        for (int start = 0; start < 2; ++start) {
            Transcript transcript;
            QVERIFY(transcript.open(path, "tqm810", "1.0.0"));
            transcript.record(Transcript::Direction::Link, "COM1", {}, "closed");
        }
        const QList<QByteArray> rows = rowsOf(path);
        QCOMPARE(rows.size(), 5);
        QVERIFY(rows[0].startsWith("# tqm810 1.0.0 time\t") &&
                rows[2].startsWith("# tqm810 1.0.0 time\t"));
        QVERIFY(rows[1].contains("\t+0.000\t") && rows[3].contains("\t+0.000\t"));
    }

    void unwritableReportedOnce() {
        // A full disk: the transcript fails once and closes.
        QTemporaryDir dir;
        Transcript transcript;
        QVERIFY(transcript.open(dir.filePath("t"), "tqm810", "1.0.0"));
        QSignalSpy failed(&transcript, &Transcript::failed);
        {
            const test::FileSizeLimit full(200);
            for (int i = 0; i < 10; ++i)
                transcript.record(Transcript::Direction::Rx, "COM1", QByteArray(64, 'A'), "text");
        }
        QCOMPARE(failed.count(), 1);
        QVERIFY2(failed[0][0].toString().startsWith("Cannot write the transcript"),
                 qPrintable(failed[0][0].toString()));
        QVERIFY(!transcript.isOpen());
    }

    void unopenable() {
        Transcript transcript;
        QSignalSpy failed(&transcript, &Transcript::failed);
        QVERIFY(!transcript.open("/nonexistent-folder/t.tsv", "tqm810", "1.0.0"));
        QCOMPARE(failed.count(), 1);
        QVERIFY(
            transcript.error().startsWith("Cannot open the transcript /nonexistent-folder/t.tsv"));
    }

    void pathPattern_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("path");
        QTest::newRow("fields") << "log-%Y%m%d-%H%M%S.tsv"
                                << QString("/cfg/log-20070911-150405.tsv");
        QTest::newRow("percent") << "100%%-%Y.tsv" << QString("/cfg/100%-2007.tsv");
        QTest::newRow("unknown field kept") << "a%qb%" << QString("/cfg/a%qb%");
        QTest::newRow("absolute") << "/var/log/t-%d.tsv" << QString("/var/log/t-11.tsv");
        QTest::newRow("subfolder") << "logs/%H.tsv" << QString("/cfg/logs/15.tsv");
    }

    void pathPattern() {
        QFETCH(QString, pattern);
        QFETCH(QString, path);
        const QDateTime at(QDate(2007, 9, 11), QTime(15, 4, 5));
        QCOMPARE(expandTranscriptPath(pattern, at, "/cfg"), path);
    }
};

QTEST_GUILESS_MAIN(TranscriptTest)
#include "test_transcript.moc"
