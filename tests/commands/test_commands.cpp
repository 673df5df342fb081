// Command frames as the device receives them: every row, the clock stamp and the encoded LCD text.
#include "commands/command_table.h"
#include "serial/cp949.h"
#include "tests/support/expected_commands.h"
#include "tests/support/fixed_clock.h"

#include <QTest>

using namespace tqm;
using test::FixedClock;
using namespace Qt::StringLiterals;

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void clockStamp_data();
    void clockStamp();
    void clockUnderEveryLocale_data();
    void clockUnderEveryLocale();
    void usableLongFormat_data();
    void usableLongFormat();
    void frameBytes_data();
    void frameBytes();
    void everyControlHasOneRow();
};

static QList<QDateTime> at(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return {QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms))};
}

void CommandsTest::clockStamp_data() {
    QTest::addColumn<QList<QDateTime>>("readings");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("wire");
    const QString korean = QStringLiteral("AP h:mm:ss");
    QTest::newRow("leading zeros")
        << at(2007, 9, 1, 8, 30, 15) << korean << QByteArray("\x1b+X070901083015\r");
    QTest::newRow("midnight, 12-hour text")
        << at(2010, 1, 2, 0, 0, 9) << korean << QByteArray("\x1b+X100102000009\r");
    QTest::newRow("year 2000") << at(2000, 12, 31, 23, 59, 58) << QStringLiteral("HH:mm:ss")
                               << QByteArray("\x1b+X001231235958\r");
    QTest::newRow("noon") << at(2009, 10, 10, 12, 0, 0) << korean
                          << QByteArray("\x1b+X091010120000\r");
    QTest::newRow("format ending in AM/PM, cut after seconds")
        << at(2007, 9, 11, 15, 4, 5) << SystemClock::usableLongFormat("h:mm:ss AP t")
        << QByteArray("\x1b+X070911150405\r");
    QTest::newRow("format with unit words falls back")
        << at(2007, 9, 11, 7, 4, 5)
        << SystemClock::usableLongFormat(QStringLiteral("AP h시 m분 s초"))
        << QByteArray("\x1b+X070911070405\r");
    // A clock that moves on between readings: a stamp pieced together from two of them would be
    // an hour (or a year) off.
    QTest::newRow("read once across the hour")
        << at(2007, 9, 11, 14, 59, 59, 999) + at(2007, 9, 11, 15, 0, 0) << korean
        << QByteArray("\x1b+X070911145959\r");
    QTest::newRow("read once across new year")
        << at(2007, 12, 31, 23, 59, 59, 999) + at(2008, 1, 1, 0, 0, 0) << korean
        << QByteArray("\x1b+X071231235959\r");
}

void CommandsTest::clockStamp() {
    QFETCH(QList<QDateTime>, readings);
    QFETCH(QString, format);
    QFETCH(QByteArray, wire);
    const FixedClock clock(readings, QLocale(QLocale::Korean, QLocale::SouthKorea), format);
    const QStringList frames = commandFrames(*findCommand(u"cmdtimessetting"), clock);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(encodeCp949(frames[0]).toHex(' '), wire.toHex(' '));
    QCOMPARE(clock.readings(), 1);
}

void CommandsTest::clockUnderEveryLocale_data() {
    QTest::addColumn<QString>("locale");
    // Every desktop language sends ASCII digits: Arabic and Persian write their own digits in
    // the long time text, which must never reach the device.
    for (const char *name : {"ko_KR", "en_US", "de_DE", "ja_JP", "ar_EG", "fa_IR", "zh_CN", "fr_FR",
                             "th_TH", "hi_IN", "C"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Each moment under each language: a morning hour needs its leading zero, and a long format
// that names the time zone after the seconds (en_US) still gives minute and second.
void CommandsTest::clockUnderEveryLocale() {
    QFETCH(QString, locale);
    if (locale == u"en_US")
        QVERIFY(QLocale(locale).timeFormat(QLocale::LongFormat).contains(u't'));
    for (const auto &[moment, frame] :
         {std::pair{QDateTime(QDate(2007, 9, 11), QTime(15, 4, 5)), "\x1b+X070911150405\r"},
          std::pair{QDateTime(QDate(2007, 9, 1), QTime(8, 30, 15)), "\x1b+X070901083015\r"}}) {
        const FrozenClock clock(moment, QLocale(locale));
        const QStringList frames = commandFrames(*findCommand(u"cmdtimessetting"), clock);
        QCOMPARE(frames, QStringList{QString::fromLatin1(frame)});
    }
}

void CommandsTest::usableLongFormat_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("usable");
    QTest::newRow("korean kept") << u"AP h:mm:ss"_s << u"AP h:mm:ss"_s;
    QTest::newRow("24h kept") << u"HH:mm:ss"_s << u"HH:mm:ss"_s;
    QTest::newRow("time zone cut") << u"HH:mm:ss t"_s << u"HH:mm:ss"_s;
    QTest::newRow("AM/PM cut") << u"h:mm:ss AP t"_s << u"h:mm:ss"_s;
    QTest::newRow("dots") << u"HH.mm.ss"_s << u"HH.mm.ss"_s;
    QTest::newRow("single-digit minutes") << u"h:m:s"_s << u"HH:mm:ss"_s;
    QTest::newRow("unit words") << u"AP h시 m분 s초 t"_s << u"HH:mm:ss"_s;
    QTest::newRow("milliseconds after seconds") << u"HH:mm:ss.zzz"_s << u"HH:mm:ss"_s;
}

void CommandsTest::usableLongFormat() {
    QFETCH(QString, format);
    QFETCH(QString, usable);
    QCOMPARE(SystemClock::usableLongFormat(format), usable);
}

void CommandsTest::frameBytes_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QList<QByteArray>>("handOvers");
    for (const test::ExpectedCommand &c : test::kExpectedCommands)
        QTest::newRow(c.control) << c.control << c.handOvers();
}

// Catches a wrong byte in a frame, frames joined or split, and Korean text in any code page but
// 949 (UTF-8 would send "영" as EC 98 81, not BF B5).
void CommandsTest::frameBytes() {
    QFETCH(QString, control);
    QFETCH(QList<QByteArray>, handOvers);
    const CommandRow *row = findCommand(control);
    QVERIFY(row);
    QList<QByteArray> wire;
    for (const QString &frame : commandFrames(*row, test::sampleClock()))
        wire << encodeCp949(frame);
    QCOMPARE(wire, handOvers);
}

void CommandsTest::everyControlHasOneRow() {
    QStringList seen;
    for (const CommandRow &row : commandTable()) {
        QVERIFY2(!seen.contains(row.control), row.control);
        seen << row.control;
    }
    QCOMPARE(seen.size(), 17); // 11 fixed buttons, LCD, clock, three options, LED/buzzer
}

QTEST_GUILESS_MAIN(CommandsTest)
#include "test_commands.moc"
