// Byte rendering and the log file.
#include "receive/byte_rendering.h"
#include "receive/log_file.h"
#include "serial/failure.h"
#include "tests/support/expected_rendering.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace tqm;

class ReceiveTest : public QObject {
    Q_OBJECT
private slots:
    void controlNames_data();
    void controlNames();
    void printableAscii();
    void everyByteAsWrittenOut();
    void highBytesDistinctAndVisible();
    void batches_data();
    void batches();
    void logFile_data();
    void logFile();
    void logFileReplacedNotAppended();
    void logFileUnwritableKeepsOld();
    void logFilePlace();
};

void ReceiveTest::controlNames_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("name");
    for (int b = 0; b < 32; ++b)
        QTest::addRow("%02X", b) << b << QString::fromLatin1(test::kExpectedControl[b]);
    QTest::addRow("7F") << 0x7f << QStringLiteral("[DEL]");
}

void ReceiveTest::controlNames() {
    QFETCH(int, byte);
    QFETCH(QString, name);
    QCOMPARE(byteRenderings()[byte], name);
}

void ReceiveTest::printableAscii() {
    for (int b = 0x20; b <= 0x7e; ++b)
        QCOMPARE(byteRenderings()[b], QString(QChar(b)));
}

void ReceiveTest::everyByteAsWrittenOut() {
    for (int b = 0; b < 256; ++b)
        QVERIFY2(byteRenderings()[b] == test::expectedRenderings()[b],
                 qPrintable(QStringLiteral("byte %1").arg(b, 2, 16, QLatin1Char('0'))));
}

void ReceiveTest::highBytesDistinctAndVisible() {
    QSet<QChar> seen;
    for (int b = 0x80; b <= 0xff; ++b) {
        const QString r = byteRenderings()[b];
        QCOMPARE(r.size(), 1);
        const QChar ch = r.at(0);
        QVERIFY2(ch.isPrint() && !ch.isSpace() && ch.category() != QChar::Other_Format,
                 qPrintable(QString::number(b, 16)));
        QVERIFY(ch.unicode() >= 0x80); // never mistaken for a byte below 0x80
        QVERIFY(!seen.contains(ch));
        seen.insert(ch);
        QCOMPARE(highByteOf(ch), b);
    }
    QCOMPARE(byteRenderings()[0xe9], QStringLiteral("é")); // as Windows-1252 shows it
    QCOMPARE(highByteOf(QChar(u'A')), -1);
}

void ReceiveTest::batches_data() {
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<QString>("text");
    QTest::newRow("record") << QByteArray::fromHex("024142 0d0a03") << "[STX]AB[CR][LF][ETX]";
    QTest::newRow("frame") << QByteArray::fromHex("1b2b79") << "[ESC]+y";
    QTest::newRow("edges") << QByteArray::fromHex("00207e7f") << "[NUL] ~[DEL]";
    QTest::newRow("empty") << QByteArray() << "";
    // A CP949 two-byte character is two renderings, never "영".
    QTest::newRow("hangul bytes") << QByteArray::fromHex("bfb5") << QStringLiteral("¿µ");
}

void ReceiveTest::batches() {
    QFETCH(QByteArray, batch);
    QFETCH(QString, text);
    QCOMPARE(renderBatch(batch), text);
}

void ReceiveTest::logFile_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty box") << "" << QByteArray::fromHex("0d0a");
    QTest::newRow("record") << "[STX]AB[ETX]" << QByteArray("[STX]AB[ETX]\r\n");
    QTest::newRow("high bytes back as sent")
        << QStringLiteral("A¿µ€ā") << QByteArray::fromHex("41bfb580810d0a");
    QTest::newRow("hangul in cp949") << QStringLiteral("영") << QByteArray::fromHex("bfb50d0a");
    QTest::newRow("no code page character") << QStringLiteral("\U0001F600") << QByteArray("??\r\n");
}

void ReceiveTest::logFile() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath("savemsr.txt");
    writeLogFile(path, text);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().toHex(' '), bytes.toHex(' '));
}

void ReceiveTest::logFileReplacedNotAppended() {
    QTemporaryDir dir;
    const QString path = dir.filePath("savemsr.txt");
    writeLogFile(path, QStringLiteral("first, longer text"));
    writeLogFile(path, QStringLiteral("[ACK]"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("[ACK]\r\n"));
}

void ReceiveTest::logFileUnwritableKeepsOld() {
    QTemporaryDir dir;
    const QString path = dir.filePath("savemsr.txt");
    writeLogFile(path, QStringLiteral("old"));
    // A full disk, as even root meets it: the file size limit stops the write part-way.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &tiny);
    bool failed = false;
    try {
        writeLogFile(path, QStringLiteral("a text much longer than eight bytes"));
    } catch (const Failure &) {
        failed = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    QVERIFY(failed);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("old\r\n"));
    // And a folder that is not there at all.
    QVERIFY_THROWS_EXCEPTION(Failure,
                             writeLogFile(dir.filePath("no/such/folder/savemsr.txt"), "x"));
}

void ReceiveTest::logFilePlace() {
    QCOMPARE(logFilePath(Platform::Windows), QStringLiteral("C:\\savemsr.txt"));
    qputenv("HOME", "/home/operator");
    QCOMPARE(logFilePath(Platform::Posix), QStringLiteral("/home/operator/savemsr.txt"));
}

QTEST_GUILESS_MAIN(ReceiveTest)
#include "test_receive.moc"
