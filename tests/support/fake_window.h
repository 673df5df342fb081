// A window on the fake serial control and a fixed clock, as most window tests need it.
#pragma once

#include "app/main_window.h"
#include "tests/support/fake_serial_control.h"
#include "tests/support/fixed_clock.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <memory>

namespace tqm::test {

struct FakeWindow {
    FakeSerialControl port;
    FixedClock clock = sampleClock();
    std::unique_ptr<MainWindow> window;

    explicit FakeWindow(QSet<int> failing = {}) {
        port.failingPorts = std::move(failing);
        window = std::make_unique<MainWindow>(port, clock);
    }
    // Start-up as the program does it, then the window on screen.
    bool loadAndShow() {
        window->load();
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
    MainWindow &operator*() const { return *window; }
    MainWindow *operator->() const { return window.get(); }

    // What the console writes once and every port keeps: 9600,n,8,1, a receive event per byte,
    // binary input, every waiting byte in one read. The caller returns when it failed.
    void expectLineSettings() const {
        QCOMPARE(port.settings(), QStringLiteral("9600,n,8,1"));
        QCOMPARE(port.rThreshold(), 1);
        QCOMPARE(port.inputMode(), 1);
        QCOMPARE(port.inputLen(), 0);
    }
    // The default link, as start-up and every fall-back to COM1 leave it.
    void expectDefaultLink() const {
        expectLineSettings();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(port.portOpen());
        QCOMPARE(port.commPort(), 1);
        QVERIFY(port.lineDtr && port.lineRts);
        QVERIFY(window->control<QRadioButton>("Optcom1")->isChecked());
        QVERIFY(window->control<QCheckBox>("chkdtr")->isChecked());
        QVERIFY(window->control<QCheckBox>("chkrts")->isChecked());
        QCOMPARE(window->control<QLabel>("Label")->text(), QStringLiteral("9600,n,8,1"));
    }
};

} // namespace tqm::test
