// Whatever the device sends, cut wherever the line cuts it, the receive box shows exactly each
// byte's text in order: every byte value after every byte value, through the fake serial control
// and through a pseudo-terminal into the real one.
#include "app/receive_box.h"
#include "tests/support/expected_rendering.h"
#include "tests/support/fake_serial_control.h"
#include "tests/support/message_catcher.h"
#include "tests/support/pty_console.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

using namespace tqm;
using namespace tqm::test;

using Cuts = QList<int>;

class BadInputTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void throughFake_data() { cutsTable(); }
    void throughFake();
    void throughPty_data() { cutsTable(); }
    void throughPty();

private:
    void cutsTable();
};

namespace {

// Every ordered pair of byte values exactly once as neighbours (a de Bruijn sequence of order 2),
// so each value comes after each value, including itself: 65537 bytes.
const QByteArray &stream() {
    constexpr int k = 256, n = 2;
    static QByteArray sequence;
    if (!sequence.isEmpty())
        return sequence;
    int a[n + 1] = {};
    const std::function<void(int, int)> build = [&](int t, int p) {
        if (t > n) {
            if (n % p == 0)
                for (int j = 1; j <= p; ++j)
                    sequence += char(a[j]);
            return;
        }
        a[t] = a[t - p];
        build(t + 1, p);
        for (int j = a[t - p] + 1; j < k; ++j) {
            a[t] = j;
            build(t + 1, t);
        }
    };
    build(1, 1);
    sequence += sequence.left(n - 1); // the cyclic sequence, opened up
    return sequence;
}

// The stream as the batches of one row: the sizes repeat until the stream ends; 0 is the rest.
QList<QByteArray> cut(const QByteArray &bytes, const Cuts &sizes) {
    QList<QByteArray> batches;
    qsizetype at = 0;
    for (int i = 0; at < bytes.size(); ++i) {
        const int size = sizes[i % sizes.size()];
        const qsizetype take =
            size == 0 ? bytes.size() - at : std::min<qsizetype>(size, bytes.size() - at);
        batches << bytes.mid(at, take);
        at += take;
    }
    return batches;
}

// Where two long texts part, with a little context, instead of both texts whole.
QString difference(const QString &actual, const QString &expected) {
    qsizetype i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return QStringLiteral("sizes %1 and %2, first difference at %3: \"%4\" instead of \"%5\"")
        .arg(actual.size())
        .arg(expected.size())
        .arg(i)
        .arg(actual.mid(std::max<qsizetype>(0, i - 10), 30),
             expected.mid(std::max<qsizetype>(0, i - 10), 30));
}

} // namespace

void BadInputTest::initTestCase() {
    // The test's own data: no pair may be missing, or a fault between two bytes could hide.
    QSet<int> pairs;
    for (qsizetype i = 1; i < stream().size(); ++i)
        pairs.insert(uchar(stream()[i - 1]) * 256 + uchar(stream()[i]));
    QCOMPARE(stream().size(), 65537);
    QCOMPARE(pairs.size(), 65536);
}

void BadInputTest::cutsTable() {
    QTest::addColumn<Cuts>("sizes");
    QTest::newRow("each byte alone") << Cuts{1};
    QTest::newRow("twos") << Cuts{2};
    QTest::newRow("threes") << Cuts{3};
    QTest::newRow("sevens") << Cuts{7};
    QTest::newRow("255") << Cuts{255};
    QTest::newRow("256") << Cuts{256};
    QTest::newRow("257") << Cuts{257};
    QTest::newRow("a full receive buffer less one") << Cuts{1023};
    QTest::newRow("a full receive buffer") << Cuts{1024};
    QTest::newRow("a full receive buffer and one") << Cuts{1025};
    QTest::newRow("one then a full buffer") << Cuts{1, 1024};
    QTest::newRow("growing") << Cuts{1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 377, 610, 987};
    QTest::newRow("in two at the middle") << Cuts{32768, 0};
    QTest::newRow("all at once") << Cuts{0};
}

void BadInputTest::throughFake() {
    QFETCH(Cuts, sizes);
    FakeSerialControl port;
    const FixedClock clock = sampleClock();
    MainWindow window(port, clock);
    window.load();
    QVERIFY(port.portOpen());
    const ReceiveBox *box = window.control<ReceiveBox>("txtrecv");

    qsizetype shown = 0;
    for (const QByteArray &batch : cut(stream(), sizes)) {
        port.deliver(batch);
        // Each batch in full as it comes: nothing held back for later, nothing dropped.
        shown += expectedText(batch).size();
        QCOMPARE(box->text().size(), shown);
    }
    const QString expected = expectedText(stream());
    QVERIFY2(box->text() == expected, qPrintable(difference(box->text(), expected)));
}

void BadInputTest::throughPty() {
    QFETCH(Cuts, sizes);
    Com1Console console;
    QVERIFY(console.com1.isValid());
    MessageCatcher catcher; // a message box would otherwise wait for a click until the timeout
    QVERIFY(console.start());
    QVERIFY(console.port->portOpen());
    const ReceiveBox *box = console.receiveBox();
    PtyPair &com1 = console.com1;
    QSignalSpy changed(box, &ReceiveBox::textChanged);

    // Each piece is on screen before the next is written, so the cuts reach the console as they
    // are; a piece is small enough for the line to hold while the console is not reading.
    constexpr qsizetype largestWrite = 4 * qsizetype(1024);
    qsizetype shown = 0;
    for (const QByteArray &batch : cut(stream(), sizes)) {
        for (qsizetype at = 0; at < batch.size(); at += largestWrite) {
            const QByteArray piece = batch.mid(at, largestWrite);
            com1.write(piece);
            shown += expectedText(piece).size();
            while (box->text().size() < shown)
                if (!changed.wait(10000))
                    QFAIL(qPrintable(difference(box->text(), expectedText(stream())) + "; " +
                                     catcher.texts().join(" | ")));
            QCOMPARE(box->text().size(), shown);
        }
    }
    const QString expected = expectedText(stream());
    QVERIFY2(box->text() == expected, qPrintable(difference(box->text(), expected)));
    QCOMPARE(catcher.texts(), QStringList());
}

QTEST_MAIN(BadInputTest)
#include "test_bad_input.moc"
