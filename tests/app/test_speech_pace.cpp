// What a screen reader is given to speak of the replies, and when: steps at given milliseconds
// ("f" text arriving with the box focused, "u" unfocused, "c" a command), utterances as
// "millisecond text".
#include "app/speech_pace.h"

#include <QTest>

using tqm::SpeechPace;

class SpeechPaceTest : public QObject {
    Q_OBJECT
private slots:
    void utterances_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("said");
        const QString tens = QStringLiteral("0123456789").repeated(20);
        QStringList flood;
        for (int ms = 0; ms < 1000; ms += 10)
            flood << QStringLiteral("%1 f 0123456789").arg(ms);
        QTest::newRow("a reply in pieces, once it pauses")
            << QStringList{"0 f [STX]0", "20 f [ETX][CR]"} << QStringList{"120 [STX]0[ETX][CR]"};
        QTest::newRow("a flood, twice a second, 200 characters each")
            << flood
            << QStringList{"500 " + tens + " and 300 more characters",
                           "1000 " + tens + " and 300 more characters"};
        QTest::newRow("half a second between utterances")
            << QStringList{"0 f A", "150 f B"} << QStringList{"100 A", "600 B"};
        QTest::newRow("not asked for") << QStringList{"0 u [STX]1[ETX][CR]"} << QStringList{};
        QTest::newRow("a command's reply, for five seconds")
            << QStringList{"0 c", "100 u [STX]0", "4999 u A", "5000 u B"}
            << QStringList{"200 [STX]0", "5099 A"};
        QTest::newRow("the next command drops the reply before it")
            << QStringList{"0 c", "10 u OLD", "50 c", "60 u NEW"} << QStringList{"160 NEW"};
        QTest::newRow("a control byte's name is never cut")
            << QStringList{"0 f " + QString(197, 'x') + "[STX]"}
            << QStringList{"100 " + QString(197, 'x') + " and 5 more characters"};
        QTest::newRow("one more character")
            << QStringList{"0 f " + QString(200, 'x') + "y"}
            << QStringList{"100 " + QString(200, 'x') + " and 1 more character"};
    }

    void utterances() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, said);
        SpeechPace pace;
        QStringList heard;
        const auto speakUntil = [&](qint64 now) {
            while (pace.due() >= 0 && pace.due() <= now) {
                const qint64 at = pace.due();
                heard << QStringLiteral("%1 %2").arg(at).arg(pace.take(at));
            }
        };
        for (const QString &step : steps) {
            const QStringList parts = step.split(' ');
            const qint64 at = parts[0].toLongLong();
            speakUntil(at);
            if (parts[1] == "c")
                pace.commandGiven(at);
            else
                pace.arrived(parts[2], parts[1] == "f", at);
        }
        speakUntil(std::numeric_limits<qint64>::max());
        QCOMPARE(heard, said);
    }
};

QTEST_APPLESS_MAIN(SpeechPaceTest)
#include "test_speech_pace.moc"
