// The real serial control against a pseudo-terminal pair owned by the test, through the port map.
#include "serial/failure.h"
#include "serial/port_map.h"
#include "serial/qt_serial_control.h"
#include "tests/support/pty_pair.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace tqm;
using test::PortsDir;
using test::PtyPair;

class QtSerialControlTest : public QObject {
    Q_OBJECT
private slots:
    void portMap();
    void openSendReceive();
    void heldAbsentAndDanglingPorts();
    void readsAreBounded();
    void farEndHangsUp();
    void retryRunsWhileLossIsHandled();
};

static void openDefault(SerialControl &port, int com) {
    port.setCommPort(com);
    port.setSettings(QStringLiteral("9600,n,8,1"));
    port.setRThreshold(1);
    port.setInputMode(1);
    port.setPortOpen(true);
    port.setInputLen(0);
    // A pseudo-terminal has no modem lines: accepted and remembered, not an error.
    port.setDTREnable(true);
    port.setRTSEnable(true);
}

// Catches a COM number mapped to the wrong device: through the ports directory, without it, on
// Windows (which names every port itself), and a named device that still consults the directory
// or leaks into other numbers.
void QtSerialControlTest::portMap() {
    PortsDir dir;
    dir.link(1, QStringLiteral("/dev/null"));
    const PortMap map(dir.path());
    QCOMPARE(map.devicePath(1), dir.path() + "/com1");
    QCOMPARE(map.devicePath(2), QString()); // the directory is the whole map
    const PortMap none(dir.path() + "/absent");
    // Without the directory COM3 names the third serial device; only its name is checked here.
    const QFileInfo fallback(none.devicePath(3));
    QCOMPARE(fallback.path(), QStringLiteral("/dev"));
    QCOMPARE(fallback.fileName(), QStringLiteral("ttyS2"));

    for (const PortMap &map : {PortMap(dir.path(), Platform::Windows),
                               PortMap(dir.path() + "/absent", Platform::Windows)}) {
        QCOMPARE(map.devicePath(1), QStringLiteral("\\\\.\\COM1"));
        QCOMPARE(map.devicePath(8), QStringLiteral("\\\\.\\COM8"));
        QCOMPARE(map.devicePath(16), QStringLiteral("\\\\.\\COM16"));
    }

    const PortMap single = PortMap::single(1, QStringLiteral("/dev/null"));
    QCOMPARE(single.devicePath(1), QStringLiteral("/dev/null"));
    QCOMPARE(single.devicePath(2), QString());
    QCOMPARE(single.portsDir(), QString());
}

// Catches a wrong byte either way, and bytes that were on the line before the port opened being
// taken for a new answer.
void QtSerialControlTest::openSendReceive() {
    PtyPair far;
    QVERIFY(far.isValid());
    far.write(QByteArray::fromHex("5354414c45")); // before the port opens
    QtSerialControl port{PortMap::single(1, far.slavePath())};
    openDefault(port, 1);
    QVERIFY(port.portOpen());
    QCOMPARE(port.dtrEnable(), true);
    port.clearInput();

    port.output(QStringLiteral("\x1b+W영문\n1\r"));
    QCOMPARE(far.read(10).toHex(' '), QByteArray("1b 2b 57 bf b5 b9 ae 0a 31 0d"));

    QSignalSpy events(&port, &SerialControl::OnComm);
    far.write(QByteArray::fromHex("0241420d0a03"));
    QByteArray got;
    while (got.size() < 6 && (events.count() > 0 || events.wait(5000))) {
        events.clear();
        QCOMPARE(port.commEvent(), 2);
        got += port.input();
    }
    QCOMPARE(got.toHex(' '), QByteArray("02 41 42 0d 0a 03"));
    port.setPortOpen(false);
    QVERIFY(!port.portOpen());
}

void QtSerialControlTest::heldAbsentAndDanglingPorts() {
    PtyPair far;
    PortsDir dir;
    dir.link(1, far.slavePath());
    dir.link(2, far.slavePath()); // two names for one device: the lock is on the device
    QtSerialControl first{PortMap(dir.path())};
    QtSerialControl second{PortMap(dir.path())};
    openDefault(first, 1);
    second.setCommPort(2);
    QVERIFY_THROWS_EXCEPTION(Failure, second.setPortOpen(true));
    QVERIFY(!second.portOpen());
    first.setPortOpen(false);
    second.setPortOpen(true); // free again once the holder lets go
    QVERIFY(second.portOpen());

    dir.link(3, dir.path() + "/no-such-device");
    QtSerialControl port{PortMap(dir.path())};
    port.setCommPort(3);
    try {
        port.setPortOpen(true);
        QFAIL("a dangling link opened");
    } catch (const Failure &f) {
        QVERIFY2(f.message().startsWith("COM3"), qPrintable(f.message()));
    }
    port.setCommPort(4);
    QVERIFY_THROWS_EXCEPTION(Failure, port.setPortOpen(true));
    QVERIFY(!port.portOpen());
}

void QtSerialControlTest::readsAreBounded() {
    // Catches a receive buffer of another size than 1024 bytes, larger or smaller, and a read
    // that loses, repeats or reorders bytes on the way.
    PtyPair far;
    PortsDir dir;
    dir.link(1, far.slavePath());
    QtSerialControl port{PortMap(dir.path())};
    openDefault(port, 1);
    QByteArray sent;
    for (int i = 0; i < 5000; ++i)
        sent += char(i % 251);
    // The receive event waits for the whole burst, so every read finds more than a buffer's worth.
    port.setRThreshold(5000);
    QSignalSpy events(&port, &SerialControl::OnComm);
    far.write(sent);
    QVERIFY(events.wait(5000));
    QByteArray got;
    QList<qsizetype> batches;
    while (got.size() < sent.size()) {
        const QByteArray batch = port.input();
        QVERIFY2(!batch.isEmpty(), qPrintable(QStringLiteral("nothing after %1").arg(got.size())));
        batches << batch.size();
        got += batch;
    }
    const auto listed = [&batches] {
        QStringList sizes;
        for (qsizetype n : batches)
            sizes << QString::number(n);
        return sizes.join(QLatin1Char(' '));
    };
    QVERIFY2(std::all_of(batches.begin(), batches.end(), [](qsizetype n) { return n <= 1024; }),
             qPrintable(listed()));
    QVERIFY2(batches.contains(1024), qPrintable(listed()));
    QCOMPARE(got.size(), sent.size());
    QVERIFY(got == sent);
}

void QtSerialControlTest::farEndHangsUp() {
    auto far = std::make_unique<PtyPair>();
    PortsDir dir;
    dir.link(1, far->slavePath());
    QtSerialControl port{PortMap(dir.path())};
    openDefault(port, 1);
    QSignalSpy lost(&port, &SerialControl::linkLost);
    far->write("AB");
    far->close();
    QVERIFY(lost.count() > 0 || lost.wait(5000));
    QCOMPARE(lost.count(), 1);
    QVERIFY(!port.portOpen());
    QVERIFY_THROWS_EXCEPTION(Failure, port.output(QStringLiteral("\x1b+T")));

    // The device comes back under the same name: the link reopens by itself.
    PtyPair again;
    dir.link(1, again.slavePath());
    QSignalSpy back(&port, &SerialControl::linkRestored);
    QVERIFY(back.wait(5000));
    QVERIFY(port.portOpen());
    port.output(QStringLiteral("\x1b+R"));
    QCOMPARE(again.read(3).toHex(' '), QByteArray("1b 2b 52"));
}

void QtSerialControlTest::retryRunsWhileLossIsHandled() {
    // Catches a retry that starts only once everyone has heard of the loss: a listener that
    // keeps the event loop busy (a report nobody closes) would keep the device out for good.
    auto far = std::make_unique<PtyPair>();
    PortsDir dir;
    dir.link(1, far->slavePath());
    QtSerialControl port{PortMap(dir.path())};
    openDefault(port, 1);
    PtyPair again;
    bool reopenedWithin = false;
    connect(&port, &SerialControl::linkLost, &port, [&] {
        dir.link(1, again.slavePath()); // back before the listener is done
        reopenedWithin = QTest::qWaitFor([&port] { return port.portOpen(); }, 5000);
    });
    far.reset();
    dir.unlink(1);
    QSignalSpy lost(&port, &SerialControl::linkLost);
    QVERIFY(lost.wait(5000));
    QVERIFY(reopenedWithin);
    port.output(QStringLiteral("\x1b+R"));
    QCOMPARE(again.read(3).toHex(' '), QByteArray("1b 2b 52"));
}

QTEST_GUILESS_MAIN(QtSerialControlTest)
#include "test_qt_serial_control.moc"
