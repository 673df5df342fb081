// The console against the simulated TQM-810 on a pseudo-terminal as COM1: whole round trips.
#include "app/main_window.h"
#include "app/receive_box.h"
#include "serial/qt_serial_control.h"
#include "sim/ptydevice.h"
#include "tests/commands/fixed_clock.h"
#include "tests/support/pty_pair.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace tqm;

class WithSimTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sensorRoundTrip();
    void lcdTextArrivesDecoded();
    void clockSetToTheClick();
    void readWithAdvanceGivesNewRecords();

private:
    QString box() const { return window->control<ReceiveBox>("txtrecv")->text(); }
    void click(const char *button) {
        QTest::mouseClick(window->control<QPushButton>(button), Qt::LeftButton);
    }

    std::unique_ptr<sim::PtyDevice> device;
    std::unique_ptr<test::PortsDir> ports;
    std::unique_ptr<QtSerialControl> port;
    std::unique_ptr<test::FixedClock> clock;
    std::unique_ptr<MainWindow> window;
};

void WithSimTest::init() {
    device = std::make_unique<sim::PtyDevice>();
    QVERIFY(device->open());
    ports = std::make_unique<test::PortsDir>();
    ports->link(1, device->slavePath());
    port = std::make_unique<QtSerialControl>(PortMap(ports->path()));
    clock = std::make_unique<test::FixedClock>(
        QList<QDateTime>{QDateTime(QDate(2007, 9, 11), QTime(15, 4, 5))},
        QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("AP h:mm:ss"));
    window = std::make_unique<MainWindow>(*port, *clock);
    window->load();
    QVERIFY(port->portOpen());
}

void WithSimTest::cleanup() {
    window.reset();
    port.reset();
    device.reset();
}

void WithSimTest::sensorRoundTrip() {
    window->control<ReceiveBox>("txtrecv")->setText("stale");
    click("cmd_ext_sensor");
    QCOMPARE(box(), QString());
    // The answer's layout as the description gives it: STX, the status, ETX, CR.
    QTRY_COMPARE_WITH_TIMEOUT(box(), QStringLiteral("[STX]0[ETX][CR]"), 5000);
}

void WithSimTest::lcdTextArrivesDecoded() {
    QSignalSpy frames(device.get(), &sim::PtyDevice::frameReceived);
    click("cmd_Lcd_Display");
    QVERIFY(frames.wait(5000));
    QCOMPARE(device->device().lcdLines(),
             QStringList({QStringLiteral("영문(16자)"), QStringLiteral("12345678901234567890"),
                          QStringLiteral("한글(8자)"), QStringLiteral("동해물과 백두산")}));
}

void WithSimTest::clockSetToTheClick() {
    QSignalSpy frames(device.get(), &sim::PtyDevice::frameReceived);
    click("cmdtimessetting");
    QVERIFY(frames.wait(5000));
    QCOMPARE(device->device().clock().toString(Qt::ISODate),
             QStringLiteral("2007-09-11T15:04:05Z"));
}

void WithSimTest::readWithAdvanceGivesNewRecords() {
    click("cmdreadinc");
    QTRY_VERIFY_WITH_TIMEOUT(box().contains("[ETX][CR]"), 5000);
    const QString first = box();
    click("cmdreadinc");
    QCOMPARE(box(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(box().contains("[ETX][CR]"), 5000);
    QVERIFY2(box() != first, qPrintable(first));
    QVERIFY(box().startsWith("[STX]REC0002"));
}

QTEST_MAIN(WithSimTest)
#include "test_with_sim.moc"
