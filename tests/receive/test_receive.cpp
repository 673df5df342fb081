// Byte rendering and the log file.
#include "receive/byte_rendering.h"
#include "receive/log_file.h"
#include "serial/failure.h"
#include "tests/support/expected_rendering.h"
#include "tests/support/file_size_limit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tqm;

namespace {

QByteArray contents(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

} // namespace

class ReceiveTest : public QObject {
    Q_OBJECT
private slots:
    // Every control name, printable character and high byte against the written-out table.
    void everyByteAsWrittenOut() {
        for (int b = 0; b < 256; ++b)
            QVERIFY2(byteRenderings()[b] == test::expectedRenderings()[b],
                     qPrintable(QStringLiteral("byte %1").arg(b, 2, 16, QLatin1Char('0'))));
    }

    void highBytesDistinctAndVisible() {
        for (int b = 0x80; b <= 0xff; ++b) {
            const QString r = byteRenderings()[b];
            QCOMPARE(r.size(), 1);
            const QChar ch = r.at(0);
            QVERIFY2(ch.isPrint() && !ch.isSpace() && ch.category() != QChar::Other_Format,
                     qPrintable(QString::number(b, 16)));
            QVERIFY(ch.unicode() >= 0x80); // never mistaken for a byte below 0x80
            QCOMPARE(highByteOf(ch), b);   // and so no two bytes look alike
        }
        QCOMPARE(highByteOf(QChar(u'A')), -1);
    }

    void batches_data() {
        QTest::addColumn<QByteArray>("batch");
        QTest::addColumn<QString>("text");
        QTest::newRow("record") << QByteArray::fromHex("024142 0d0a03") << "[STX]AB[CR][LF][ETX]";
        QTest::newRow("frame") << QByteArray::fromHex("1b2b79") << "[ESC]+y";
        QTest::newRow("edges") << QByteArray::fromHex("00207e7f") << "[NUL] ~[DEL]";
        QTest::newRow("empty") << QByteArray() << "";
        // A CP949 two-byte character is two renderings, never "영".
        QTest::newRow("hangul bytes") << QByteArray::fromHex("bfb5") << QStringLiteral("¿µ");
    }
    void batches() {
        QFETCH(QByteArray, batch);
        QTEST(renderBatch(batch), "text");
    }

    void logFile_data() {
        QTest::addColumn<QString>("before"); // written first: the file is replaced, not appended to
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty box") << QString() << "" << QByteArray::fromHex("0d0a");
        QTest::newRow("record") << QString() << "[STX]AB[ETX]" << QByteArray("[STX]AB[ETX]\r\n");
        QTest::newRow("replaces a longer text") << "first, longer text"
                                                << "[ACK]" << QByteArray("[ACK]\r\n");
        QTest::newRow("high bytes back as sent")
            << QString() << QStringLiteral("A¿µ€ā") << QByteArray::fromHex("41bfb580810d0a");
        QTest::newRow("hangul in cp949")
            << QString() << QStringLiteral("영") << QByteArray::fromHex("bfb50d0a");
        QTest::newRow("no code page character")
            << QString() << QStringLiteral("\U0001F600") << QByteArray("??\r\n");
    }
    void logFile() {
        QFETCH(QString, before);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath("savemsr.txt");
        if (!before.isNull())
            writeLogFile(path, before);
        writeLogFile(path, text);
        QCOMPARE(contents(path).toHex(' '), bytes.toHex(' '));
    }

    void logFileUnwritableKeepsOld() {
        QTemporaryDir dir;
        const QString path = dir.filePath("savemsr.txt");
        writeLogFile(path, QStringLiteral("old"));
        {
            const test::FileSizeLimit full(8);
            QVERIFY_THROWS_EXCEPTION(
                Failure, writeLogFile(path, QStringLiteral("a text much longer than eight bytes")));
        }
        QCOMPARE(contents(path), QByteArray("old\r\n"));
        // And a folder that is not there at all.
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 writeLogFile(dir.filePath("no/such/folder/savemsr.txt"), "x"));
    }

    void logFilePlace() {
        QCOMPARE(logFilePath(Platform::Windows), QStringLiteral("C:\\savemsr.txt"));
        qputenv("HOME", "/home/operator");
        QCOMPARE(logFilePath(Platform::Posix), QStringLiteral("/home/operator/savemsr.txt"));
    }
};

QTEST_GUILESS_MAIN(ReceiveTest)
#include "test_receive.moc"
