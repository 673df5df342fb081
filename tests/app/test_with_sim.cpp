// The console against the simulated TQM-810 on a pseudo-terminal as COM1: whole round trips.
#include "sim/pty_device.h"
#include "tests/support/pty_console.h"

#include <QSignalSpy>
#include <QTest>

using namespace tqm;

class WithSimTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void repliesShown();
    void framesDecoded();

private:
    QString box() const { return console->box(); }
    void click(const char *button) { QVERIFY(console->click(button)); }

    std::unique_ptr<sim::PtyDevice> device;
    std::unique_ptr<test::PtyConsole> console;
};

void WithSimTest::init() {
    device = std::make_unique<sim::PtyDevice>();
    QVERIFY(device->open());
    console = std::make_unique<test::PtyConsole>();
    console->ports.link(1, device->slavePath());
    QVERIFY(console->start());
    QVERIFY(console->port->portOpen());
}

void WithSimTest::cleanup() {
    console.reset();
    device.reset();
}

// The device decodes what the console sends: the LCD text, then the clock of the click.
void WithSimTest::framesDecoded() {
    QSignalSpy frames(device.get(), &sim::PtyDevice::frameReceived);
    click("cmd_Lcd_Display");
    QVERIFY(frames.wait(5000));
    QCOMPARE(device->device().lcdLines(),
             QStringList({QStringLiteral("영문(16자)"), QStringLiteral("12345678901234567890"),
                          QStringLiteral("한글(8자)"), QStringLiteral("동해물과 백두산")}));
    click("cmdtimessetting");
    QVERIFY(frames.wait(5000));
    QCOMPARE(device->device().clock().toString(Qt::ISODate),
             QStringLiteral("2007-09-11T15:04:05Z"));
}

void WithSimTest::repliesShown() {
    click("cmd_ext_sensor");
    // The answer's layout as the description gives it: STX, the status, ETX, CR.
    QTRY_COMPARE_WITH_TIMEOUT(box(), QStringLiteral("[STX]0[ETX][CR]"), 5000);
    click("cmdreadinc"); // each command clears the box; this one advances the record
    QCOMPARE(box(), QString());
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
