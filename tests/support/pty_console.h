// The real console as the operator runs it: the window on QSerialPort through a private ports
// directory, with the sample clock. Tests map pseudo-terminals as COM ports before start().
#pragma once

#include "app/main_window.h"
#include "serial/qt_serial_control.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/pty_pair.h"

#include <memory>

namespace tqm::test {

class PtyConsole {
public:
    PortsDir ports;
    FixedClock clock = sampleClock();
    std::unique_ptr<QtSerialControl> port;
    std::unique_ptr<MainWindow> window;
    // Set before start(): the console records its line there, as with --transcript.
    QString transcriptPath;

    // Builds the window on the ports mapped so far, runs its load routine and shows it; true
    // once the window is on screen.
    bool start();
    // What the receive box shows.
    QString box() const;
    // Clicks the named button or option; false when there is none.
    bool click(const QString &control) const;
};

} // namespace tqm::test
