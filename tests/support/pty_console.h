// The real console as the operator runs it: the window on QSerialPort through a private ports
// directory, with the sample clock. Tests map pseudo-terminals as COM ports before start().
#pragma once

#include "app/main_window.h"
#include "serial/qt_serial_control.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/pty_pair.h"

#include <memory>

namespace tqm {
class ReceiveBox;
}

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
    // The receive box, and what it shows.
    ReceiveBox *receiveBox() const;
    QString box() const;
    // Clicks the named button or option; false when there is none.
    bool click(const QString &control) const;
};

// The console with a pseudo-terminal of the test's own as COM1.
struct Com1Console : PtyConsole {
    PtyPair com1;
    Com1Console() { ports.link(1, com1.slavePath()); }
};

} // namespace tqm::test
