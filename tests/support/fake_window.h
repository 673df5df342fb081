// A window on the fake serial control and a fixed clock, as most window tests need it.
#pragma once

#include "app/main_window.h"
#include "tests/support/fake_serial_control.h"
#include "tests/support/fixed_clock.h"

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
};

} // namespace tqm::test
